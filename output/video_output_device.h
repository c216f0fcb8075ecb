// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace vz {

// Why path cannot take the virtual camera's frames ("" when it can): it must be a V4L2
// device that announces video output, as a v4l2loopback device does until a reader takes
// it. /dev/zero, a capture camera or a plain file are refused with what they are.
std::string whyNotVideoOutput(const std::string& path);

}  // namespace vz
