// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "base/result.h"

namespace vz {

// Whether a recording can go to path, and if not why. given is the name as the user wrote
// it, path the file to write (given with ".mkv" added where it had no extension). The
// target must be a new regular file in an existing folder outside /dev, /proc and /sys: an
// existing file is never overwritten, and a folder, device or pipe named as the target is
// refused rather than gaining a file beside it. The system's own reason is given where it
// refuses (a name too long, a folder it may not write).
Status checkRecordTarget(const std::string& given, const std::string& path);

}  // namespace vz
