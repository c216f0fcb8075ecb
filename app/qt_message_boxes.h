// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/message_boxes.h"

namespace vz {

// Message boxes on Qt. Each blocks input to every window of the program while it is open
// (a build must not be re-entered from the dialog); video keeps running meanwhile.
class QtMessageBoxes final : public MessageBoxes {
 public:
  int show(const std::string& text, const std::string& caption, unsigned style) override;
};

}  // namespace vz
