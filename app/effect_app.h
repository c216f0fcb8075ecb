// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace vz {

// The application: shows the main dialog modally; when it ends, the program ends.
class EffectApp {
 public:
  // Runs the whole program; returns the process's exit status.
  int InitInstance(int argc, char** argv);
};

}  // namespace vz
