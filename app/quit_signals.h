// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QWidget;

namespace vz {

// Ctrl+C, a plain kill or a closed terminal (SIGINT, SIGTERM, SIGHUP) end the program in
// every state: whatever box, file dialog or menu is open closes as if cancelled, later ones
// answer at once as cancelled, and the main window closes as its close button does (without
// its questions), so that a recording is finalised rather than cut off.

// Takes the signals from now on; called as soon as the application object exists, so that
// a signal during a start-up box is not lost.
void installQuitSignals();
// The window a quit signal closes, once the box loops above it have returned.
void closeOnQuitSignals(QWidget* window);
// True once a quit signal came.
bool quitRequested();

}  // namespace vz
