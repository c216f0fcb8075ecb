// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace vz {

// Why the file given on the command line cannot be played ("" when it is a regular file):
// a folder, a named pipe or a device is named as what it is.
std::string whyNotPlayable(const std::string& path);

}  // namespace vz
