// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "base/result.h"

namespace vz {

// Where the virtual camera goes: "pipewire", or a v4l2loopback device path.
// requested: "auto" (PipeWire when its daemon answers, else the first v4l2loopback device),
// "pipewire", or a device path.
Result<std::string> resolveCameraTarget(const std::string& requested);

// A PipeWire daemon accepts connections on its socket.
bool pipeWireAnswers();
// The first v4l2loopback device (/dev/videoN), or empty.
std::string firstLoopbackDevice();

// The node name the PipeWire camera carries; the device question leaves it out.
inline constexpr const char* kCameraNodeName = "videozarnix";

}  // namespace vz
