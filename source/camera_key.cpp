// SPDX-License-Identifier: GPL-3.0-or-later
#include "source/camera_key.h"

#include <filesystem>

namespace vz {
namespace {

std::string field(const GstStructure* s, std::initializer_list<const char*> names) {
  for (const char* name : names)
    if (const gchar* v = gst_structure_get_string(s, name); v != nullptr && *v != '\0') return v;
  return {};
}

}  // namespace

std::string v4l2ByIdLink(const std::string& devicePath) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path target = fs::canonical(devicePath, ec);
  if (ec) return {};
  for (const auto& entry : fs::directory_iterator("/dev/v4l/by-id", ec)) {
    std::error_code linkEc;
    if (fs::canonical(entry.path(), linkEc) == target && !linkEc) return entry.path().string();
  }
  return {};
}

std::string cameraKey(const GstStructure* properties,
                      const std::function<std::string(const std::string&)>& byIdLink) {
  if (properties == nullptr) return {};
  if (std::string node = field(properties, {"node.name"}); !node.empty()) return "pipewire:" + node;
  const std::string path = field(properties, {"device.path", "api.v4l2.path"});
  if (!path.empty() && byIdLink) {
    if (std::string byId = byIdLink(path); !byId.empty()) return "v4l2:" + byId;
  }
  if (std::string serial = field(properties, {"device.serial", "api.v4l2.cap.serial"});
      !serial.empty())
    return "v4l2-serial:" + serial;
  if (std::string bus = field(properties, {"v4l2.device.bus_info", "api.v4l2.cap.bus_info"});
      !bus.empty())
    return "v4l2-bus:" + bus;
  return path.empty() ? std::string() : "v4l2-node:" + path;
}

}  // namespace vz
