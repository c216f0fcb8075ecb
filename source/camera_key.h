// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gst/gst.h>

#include <functional>
#include <string>

namespace vz {

// The name a device node (/dev/videoN) has under /dev/v4l/by-id, which names the camera by
// its maker, model and serial; empty when it has none.
std::string v4l2ByIdLink(const std::string& devicePath);

// A camera's key that survives a replug and a reboot, from its device properties: a
// PipeWire node by its node name; a V4L2 device by its /dev/v4l/by-id path, else its serial,
// else its bus info; else its device node. Empty when nothing names it.
std::string cameraKey(
    const GstStructure* properties,
    const std::function<std::string(const std::string&)>& byIdLink = v4l2ByIdLink);

}  // namespace vz
