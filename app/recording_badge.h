// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/preview_badge.h"

namespace vz {

class OutputControl;

// "REC m:ss" in red over the preview's top-left corner while a recording runs.
class RecordingBadge final : public PreviewBadge {
  Q_OBJECT

 public:
  RecordingBadge(QWidget* preview, OutputControl& outputs, std::function<bool()> fullScreen);
};

}  // namespace vz
