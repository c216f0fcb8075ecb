// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gst/gst.h>

#include <string>
#include <vector>

namespace vz {

// One way a camera can deliver: a size and rate in one encoding.
struct CameraMode {
  int width = 0;
  int height = 0;
  int fpsNum = 0;
  int fpsDen = 1;
  bool compressed = false;  // MJPEG; raw otherwise
  std::string format;       // the raw pixel format ("YUY2", "NV12"), empty for MJPEG

  double fps() const { return fpsDen > 0 ? double(fpsNum) / fpsDen : 0.0; }
  bool operator==(const CameraMode&) const = default;
};

// What the command line asks for; zero means "no wish".
struct ModeRequest {
  int width = 0;
  int height = 0;
  int fps = 0;
};

struct ModeChoice {
  CameraMode mode;
  bool found = false;  // the device has at least one usable mode
  bool exact = true;   // the request (if any) is met as asked
};

// Picks the mode to open a camera in. Without a request: the largest size up to 1920x1080
// with 25 fps or more (ties: raw before MJPEG, then the higher rate); when none reaches
// 25 fps, the fastest mode of the largest size. With a request: the nearest size, then the
// nearest rate, then raw before MJPEG.
ModeChoice chooseCameraMode(const std::vector<CameraMode>& modes, const ModeRequest& request = {});

// The raw and MJPEG modes a device's caps list: rate lists and ranges become one mode per
// listed rate (a range gives its top rate), size ranges their largest size up to 1920x1080.
std::vector<CameraMode> cameraModesFromCaps(const GstCaps* caps);

// Fixed caps that select mode (a new reference).
GstCaps* capsForMode(const CameraMode& mode);

// "1280x720 at 30 fps (MJPEG)".
std::string describeMode(const CameraMode& mode);

}  // namespace vz
