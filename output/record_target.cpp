// SPDX-License-Identifier: GPL-3.0-or-later
#include "output/record_target.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "files/user_file.h"

namespace vz {

namespace {

bool under(const std::filesystem::path& p, const char* root) {
  const std::string s = p.string();
  const size_t n = std::strlen(root);
  return s.compare(0, n, root) == 0 && (s.size() == n || s[n] == '/');
}

}  // namespace

Status checkRecordTarget(const std::string& given, const std::string& path) {
  namespace fs = std::filesystem;
  struct stat info {};
  if (given != path && ::stat(given.c_str(), &info) == 0 && !S_ISREG(info.st_mode))
    return Status::failure("cannot record into " + given + ": it is " + fileKindName(info.st_mode) +
                           "; name a new file");
  if (::lstat(path.c_str(), &info) == 0) {
    if (S_ISREG(info.st_mode) || S_ISLNK(info.st_mode))
      return Status::failure("will not overwrite an existing file: " + path);
    return Status::failure("cannot record into " + path + ": it is " + fileKindName(info.st_mode) +
                           "; name a new file");
  }
  if (errno != ENOENT)
    return Status::failure("cannot record into " + path + ": " + std::strerror(errno));

  const fs::path parent = fs::path(path).parent_path();
  const fs::path folder = parent.empty() ? fs::path(".") : parent;
  if (::stat(folder.c_str(), &info) != 0)
    return Status::failure("cannot write " + path + ": " + std::strerror(errno));
  if (!S_ISDIR(info.st_mode))
    return Status::failure("cannot write " + path + ": " + std::strerror(ENOTDIR));
  std::error_code ec;
  const fs::path real = fs::canonical(folder, ec);
  // /dev/shm alone there is a place for files.
  for (const char* system : {"/dev", "/proc", "/sys"})
    if (!ec && under(real, system) && !under(real, "/dev/shm"))
      return Status::failure("cannot record into " + path + ": " + system +
                             " holds the system's devices and " + "state, not recordings");

  // A folder that is not writable is found now, not after the window opens.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) return Status::failure("cannot write " + path + ": " + std::strerror(errno));
  ::close(fd);
  ::unlink(path.c_str());
  return {};
}

}  // namespace vz
