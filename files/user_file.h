// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

namespace vz {

// How reading a file the user named went.
enum class UserFileStatus {
  Ok,
  Missing,     // no such file
  CannotOpen,  // the system refused (permissions, a name too long, ...)
  NotAFile,    // a named pipe, device, socket or folder: never opened, so never waited on
  TooLong,     // longer than the caller's limit
  CannotRead,  // a read error
};

struct UserFile {
  UserFileStatus status = UserFileStatus::CannotOpen;
  std::string data;  // the whole file when status is Ok
  std::string why;   // a short reason without the path ("a named pipe"), empty when Ok
  int error = 0;     // the errno behind CannotOpen and CannotRead
};

// Reads the regular file at path (symbolic links followed), at most limit bytes: a longer
// file is TooLong. A named pipe would block the open until a writer comes and a device may
// never end, so anything but a regular file is refused before it is opened, and the open
// itself does not wait.
UserFile readUserFile(const std::string& path, size_t limit);

// "a named pipe", "a folder", "a device", "a socket" or "not a regular file".
std::string fileKindName(mode_t mode);

// Opens path for writing where it stands, only when it is a regular file, without blocking;
// -1 with errno set otherwise (EINVAL when it is no regular file).
int openRegularFileForWriting(const std::string& path);

}  // namespace vz
