// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/keyboard_focus.h"

#include <QApplication>
#include <QWindow>

namespace vz {

void returnKeyboard(QWidget* window, QWidget* focus) {
  if (window == nullptr || !window->isVisible()) return;
  window->activateWindow();
  // A window system that kept the keyboard on the window (across the re-creation of its
  // native window, say) reports no activation, so the widgets would never learn it.
  if (QGuiApplication::focusWindow() == window->windowHandle() &&
      QApplication::activeWindow() != window)
    QApplication::setActiveWindow(window);
  if (focus != nullptr && window->isAncestorOf(focus)) focus->setFocus(Qt::ActiveWindowFocusReason);
}

KeyboardKeeper::KeyboardKeeper()
    : window_(QApplication::activeWindow()), focus_(QApplication::focusWidget()) {}

}  // namespace vz
