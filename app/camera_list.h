// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "source/camera_modes.h"
#include "source/capture_devices.h"

namespace vz {

// What --list-cameras prints: a block per camera (its key, name and modes, one mode a line
// as WxH@fps and format), blocks apart by an empty line; empty when there is none.
std::string describeCameras(DeviceList& devices);

// One camera's mode as the list shows it: "1280x720@30 MJPEG", "640x480@29.97 YUY2".
std::string modeLine(const CameraMode& mode);

// Whether a camera with this key is present now.
bool cameraPresent(DeviceList& devices, const std::string& key);

}  // namespace vz
