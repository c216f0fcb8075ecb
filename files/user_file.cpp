// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/user_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vz {

std::string fileKindName(mode_t mode) {
  if (S_ISFIFO(mode)) return "a named pipe";
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

namespace {

void refuse(UserFile& result, int error) {
  result.error = error;
  result.status = error == ENOENT ? UserFileStatus::Missing : UserFileStatus::CannotOpen;
  result.why = error == ENOENT ? "no such file" : std::strerror(error);
}

// Opens without waiting for a pipe's writer; a name that turned into something else between
// the look and the open is caught by looking at what was opened.
int openRegular(const std::string& path, int flags, UserFile& result) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return refuse(result, errno), -1;
  if (!S_ISREG(info.st_mode)) {
    result.status = UserFileStatus::NotAFile;
    result.why = fileKindName(info.st_mode);
    return -1;
  }
  const int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return refuse(result, errno), -1;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    result.status = UserFileStatus::NotAFile;
    result.why = fileKindName(info.st_mode);
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

UserFile readUserFile(const std::string& path, size_t limit) {
  UserFile result;
  const int fd = openRegular(path, O_RDONLY, result);
  if (fd < 0) return result;
  // One byte past the limit tells a file that is too long from one that just fits.
  result.data.resize(limit + 1);
  size_t got = 0;
  while (got < result.data.size()) {
    const ssize_t n = ::read(fd, result.data.data() + got, result.data.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      result.error = errno;
      result.status = UserFileStatus::CannotRead;
      result.why = std::strerror(result.error);
      result.data.clear();
      ::close(fd);
      return result;
    }
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  ::close(fd);
  if (got > limit) {
    result.status = UserFileStatus::TooLong;
    result.why = "more than " + std::to_string(limit) + " bytes long";
    result.data.clear();
    return result;
  }
  result.data.resize(got);
  result.status = UserFileStatus::Ok;
  return result;
}

int openRegularFileForWriting(const std::string& path) {
  UserFile result;
  const int fd = openRegular(path, O_WRONLY, result);
  if (fd < 0) errno = result.status == UserFileStatus::NotAFile ? EINVAL : result.error;
  return fd;
}

}  // namespace vz
