// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <memory>

#include "app/command_line.h"
#include "app/output_control.h"

namespace vz {

class EffectDialog;
class PreviewMenu;
class RecordingBadge;

// The outputs hung on the dialog: their commands, the preview's menu, F9, the REC badge.
// Made after the dialog and gone before it; the stage itself outlives both.
class OutputSetup final : public QObject {
  Q_OBJECT

 public:
  OutputSetup(EffectDialog& dialog, OutputStage& stage, MessageBoxes& boxes, FileDialogs& files,
              std::function<OutputControl::Rate()> sourceRate);
  ~OutputSetup() override;

  // The start-up options of the outputs: the codec, then --record once the first frame has
  // come (so the file takes the source's size), or after a few seconds without one.
  void applyStartOptions(const StartOptions& options);

  OutputControl control;
  PreviewMenu* menu = nullptr;
  RecordingBadge* badge = nullptr;
};

}  // namespace vz
