// SPDX-License-Identifier: GPL-3.0-or-later
#include "output/camera_target.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "output/video_output_device.h"

namespace vz {

bool pipeWireAnswers() {
  const char* dir = std::getenv("PIPEWIRE_RUNTIME_DIR");
  if (dir == nullptr || *dir == '\0') dir = std::getenv("XDG_RUNTIME_DIR");
  if (dir == nullptr || *dir == '\0') return false;
  const char* remote = std::getenv("PIPEWIRE_REMOTE");
  const std::string path =
      std::string(dir) + "/" + (remote != nullptr && *remote != '\0' ? remote : "pipewire-0");
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return ok;
}

std::string firstLoopbackDevice() {
  // Loopback devices have no hardware behind them: they sit among the virtual devices.
  std::vector<std::string> found;
  std::error_code ec;
  for (const auto& entry :
       std::filesystem::directory_iterator("/sys/devices/virtual/video4linux", ec)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("video", 0) == 0) found.push_back("/dev/" + name);
  }
  std::sort(found.begin(), found.end(), [](const std::string& a, const std::string& b) {
    return a.size() != b.size() ? a.size() < b.size() : a < b;
  });
  return found.empty() ? std::string() : found.front();
}

Result<std::string> resolveCameraTarget(const std::string& requested) {
  if (requested == "pipewire" || requested == "auto") {
    if (pipeWireAnswers()) return std::string("pipewire");
    if (requested == "pipewire")
      return Status::failure("no PipeWire daemon answers for the virtual camera");
    std::string device = firstLoopbackDevice();
    if (device.empty())
      return Status::failure(
          "no virtual camera back end: neither a PipeWire daemon nor a v4l2loopback device");
    return device;
  }
  if (Status usable = checkVideoOutput(requested); !usable) return usable;
  return requested;
}

}  // namespace vz
