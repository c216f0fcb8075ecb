// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/camera_list.h"

#include <cmath>
#include <cstdio>

#include "gstref/gst_ref.h"

namespace vz {

std::string modeLine(const CameraMode& mode) {
  char fps[32];
  std::snprintf(fps, sizeof fps, "%g", std::round(mode.fps() * 100) / 100);
  return std::to_string(mode.width) + "x" + std::to_string(mode.height) + "@" + fps + " " +
         (mode.compressed ? std::string("MJPEG") : mode.format);
}

std::string describeCameras(DeviceList& devices) {
  std::string out;
  for (const auto& device : devices.videoInputDevices()) {
    std::string name;
    if (!device->readProperty("FriendlyName", name)) name.clear();
    const std::string key = device->key();
    if (!out.empty()) out += '\n';
    out += "key:  " + (key.empty() ? std::string("(none: pick it at the device question)") : key) +
           "\nname: " + name + '\n';
    const GRef<GstCaps> caps(device->modes());
    const std::vector<CameraMode> modes =
        caps ? cameraModesFromCaps(caps) : std::vector<CameraMode>{};
    if (modes.empty()) out += "mode: (announced only once the camera is open)\n";
    for (const CameraMode& m : modes) out += "mode: " + modeLine(m) + '\n';
  }
  return out;
}

bool cameraPresent(DeviceList& devices, const std::string& key) {
  for (const auto& device : devices.videoInputDevices())
    if (device->key() == key) return true;
  return false;
}

}  // namespace vz
