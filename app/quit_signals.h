#pragma once

class QWidget;

namespace vz {

// Ctrl+C or a plain kill (SIGINT, SIGTERM) closes the window as its close button does, so
// that a recording is finalised rather than cut off.
void closeOnQuitSignals(QWidget* window);

}  // namespace vz
