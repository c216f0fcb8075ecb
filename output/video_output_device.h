// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "base/result.h"

namespace vz {

// Whether path can take the virtual camera's frames: it must be a V4L2 device that announces
// video output, as a v4l2loopback device does until a reader takes it. /dev/zero, a capture
// camera or a plain file are refused with what they are.
Status checkVideoOutput(const std::string& path);

}  // namespace vz
