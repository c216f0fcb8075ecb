// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "base/result.h"

namespace vz {

// Whether the file given on the command line can be played (it is a regular file); a
// folder, a named pipe or a device is named as what it is.
Status checkPlayableFile(const std::string& path);

}  // namespace vz
