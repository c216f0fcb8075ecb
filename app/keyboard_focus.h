// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPointer>
#include <QWidget>

namespace vz {

// Gives the keyboard back to `window` and, inside it, to `focus` (when it still exists).
void returnKeyboard(QWidget* window, QWidget* focus);

// Notes which window and control have the keyboard, and gives it back to them when it goes
// out of scope: around a modal box or file dialog, which closes without handing the keyboard
// back to a window that was not its owner.
class KeyboardKeeper {
 public:
  KeyboardKeeper();
  ~KeyboardKeeper() { returnKeyboard(window_, focus_); }
  KeyboardKeeper(const KeyboardKeeper&) = delete;
  KeyboardKeeper& operator=(const KeyboardKeeper&) = delete;

 private:
  QPointer<QWidget> window_;
  QPointer<QWidget> focus_;
};

}  // namespace vz
