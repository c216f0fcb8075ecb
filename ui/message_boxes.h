// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace vz {

// Button sets, icons and answers of the toolkit's message boxes, with the classic values.
inline constexpr unsigned kMbOk = 0x0;
inline constexpr unsigned kMbYesNoCancel = 0x3;
inline constexpr unsigned kMbYesNo = 0x4;
inline constexpr unsigned kMbIconError = 0x10;
inline constexpr unsigned kMbIconQuestion = 0x20;
inline constexpr unsigned kMbIconWarning = 0x30;
inline constexpr unsigned kMbIconInformation = 0x40;
inline constexpr unsigned kMbTaskModal = 0x2000;

inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

// Modal message boxes with no owner window, shown on the GUI thread. The toolkit layer
// implements it; tests script the answers.
class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // text and caption are UTF-8; returns the answer (kIdOk, kIdYes, kIdNo, kIdCancel).
  virtual int show(const std::string& text, const std::string& caption, unsigned style) = 0;
};

}  // namespace vz
