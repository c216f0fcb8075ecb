#pragma once

class QWidget;

namespace vz {

// Ctrl+C, a plain kill or a closed terminal (SIGINT, SIGTERM, SIGHUP) closes the window as
// its close button does, so that a recording is finalised rather than cut off.
void closeOnQuitSignals(QWidget* window);

}  // namespace vz
