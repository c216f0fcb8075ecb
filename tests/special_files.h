// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Names a user can give where a file is expected that are no regular files: a named pipe
// (whose open waits for a writer), a socket, a folder and a link to an endless device.
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace vz::test {

// Each name with the kind a refusal names it by.
inline std::vector<std::pair<std::string, std::string>> makeSpecialFiles(
    const std::filesystem::path& dir) {
  namespace fs = std::filesystem;
  const fs::path pipe = dir / "pipe.pvl", socket = dir / "socket.pvl", folder = dir / "folder.pvl",
                 device = dir / "zero.pvl";
  ::mkfifo(pipe.c_str(), 0600);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, socket.c_str(), sizeof address.sun_path - 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::close(fd);  // the socket's name stays
  fs::create_directories(folder);
  fs::create_symlink("/dev/zero", device);
  return {{pipe.string(), "a named pipe"},
          {socket.string(), "a socket"},
          {folder.string(), "a folder"},
          {device.string(), "a device"}};
}

}  // namespace vz::test
