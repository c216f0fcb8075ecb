// SPDX-License-Identifier: GPL-3.0-or-later
#include "source/media_file_check.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace vz {

Status checkPlayableFile(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0)
    return Status::failure(errno == ENOENT || errno == ENOTDIR
                               ? "no such file: " + path
                               : path + ": " + std::strerror(errno));
  if (S_ISREG(info.st_mode)) return {};
  if (S_ISDIR(info.st_mode))
    return Status::failure(path + " is a folder; give a video file inside it");
  // Every change of source opens the file anew, and a pipe gives its stream only once.
  if (S_ISFIFO(info.st_mode))
    return Status::failure(
        path + " is a named pipe, which cannot be played: the file is opened again at " +
        "every change of source");
  return Status::failure(path + " is a device or socket, not a video file");
}

}  // namespace vz
