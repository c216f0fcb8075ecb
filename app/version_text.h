// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace vz {

// What --version prints: the program's version, then the Qt and GStreamer it runs on
// (which may be newer than those it was built with).
std::string versionText();

}  // namespace vz
