// SPDX-License-Identifier: GPL-3.0-or-later
#include "presets/bank_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <utility>

#include "files/user_file.h"
#include "presets/bank_bytes.h"

namespace vz {

namespace {

namespace fs = std::filesystem;

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  bool close() {
    const int fd = std::exchange(fd_, -1);
    return fd < 0 || ::close(fd) == 0;
  }

 private:
  int fd_;
};

bool writeAll(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Where the bytes must end up: a symbolic link is followed, so the link stays a link.
fs::path targetOf(const std::string& path) {
  std::error_code ec;
  fs::path target = path;
  for (int hops = 0; hops < 40 && fs::is_symlink(target, ec); ++hops) {
    const fs::path next = fs::read_symlink(target, ec);
    if (ec) break;
    target = next.is_absolute() ? next : target.parent_path() / next;
  }
  return target;
}

// Overwrites the target's bytes where it stands, so every hard link sees them and owner and
// permissions stay. The old bytes are overwritten before the file is cut to size, so a file
// of at least a bank's length needs no new space.
BankIo writeInPlace(Fd& fd, const uint8_t (&bytes)[kBankBytes]) {
  if (::lseek(fd.get(), 0, SEEK_SET) != 0 || !writeAll(fd.get(), bytes, kBankBytes) ||
      ::ftruncate(fd.get(), kBankBytes) != 0 || ::fsync(fd.get()) != 0 || !fd.close())
    return BankIo::CannotWrite;
  return BankIo::Ok;
}

BankIo fail(BankIo result, std::string* why, std::string reason) {
  if (why != nullptr) *why = std::move(reason);
  return result;
}

}  // namespace

BankIo saveBankFile(const std::string& path, const VideoEngine& engine, std::string* why) {
  uint8_t bytes[kBankBytes];
  encodeBank(engine, bytes);
  const fs::path target = targetOf(path);
  struct stat existing {};
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  if (exists && !S_ISREG(existing.st_mode))
    return fail(BankIo::NotABank, why, fileKindName(existing.st_mode));
  // A file this user may not write is never replaced, though its folder would allow it. The
  // open does not wait, should the name have become a pipe since the look.
  Fd out(exists ? openRegularFileForWriting(target) : -1);
  if (exists && out.get() < 0) return fail(BankIo::CannotOpen, why, std::strerror(errno));

  fs::path dir = target.parent_path();
  if (dir.empty()) dir = ".";
  // Short, so that it fits beside a target whose name is already as long as names get.
  std::string temp = (dir / ".vzbank.XXXXXX").string();
  Fd fd(::mkstemp(temp.data()));
  if (fd.get() < 0)
    return exists ? writeInPlace(out, bytes) : fail(BankIo::CannotOpen, why, std::strerror(errno));
  mode_t mode = existing.st_mode & 07777;
  if (!exists) {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  // A rename would cut other hard links off and hand the file to whoever saves it: such a
  // target is rewritten in place, once the copy has shown that the bytes fit on the disk.
  const bool inPlace = exists && (existing.st_nlink > 1 ||
                                  ::fchown(fd.get(), existing.st_uid, existing.st_gid) != 0);
  bool written = ::fchmod(fd.get(), mode) == 0 && writeAll(fd.get(), bytes, kBankBytes) &&
                 ::fsync(fd.get()) == 0 && fd.close();
  if (written && !inPlace) written = ::rename(temp.c_str(), target.c_str()) == 0;
  if (!written || inPlace) ::unlink(temp.c_str());
  if (written && inPlace) return writeInPlace(out, bytes);
  return written ? BankIo::Ok : BankIo::CannotWrite;
}

BankIo loadBankFile(const std::string& path, VideoEngine& engine, std::string* why) {
  const UserFile file = readUserFile(path, kBankBytes);
  const std::string bankSize = "; a bank is " + std::to_string(kBankBytes) + " bytes";
  switch (file.status) {
    case UserFileStatus::Ok:
      break;
    case UserFileStatus::Missing:
    case UserFileStatus::CannotOpen:
      return fail(BankIo::CannotOpen, why, file.why);
    case UserFileStatus::NotAFile:
      return fail(BankIo::NotABank, why, file.why);
    case UserFileStatus::TooLong:
      return fail(BankIo::NotABank, why,
                  "more than " + std::to_string(kBankBytes) + " bytes long" + bankSize);
    case UserFileStatus::CannotRead:
      return fail(BankIo::CannotRead, why, file.why);
  }
  // Only a whole bank is one: a longer file is some other file that happens to be large.
  if (file.data.size() != kBankBytes)
    return fail(BankIo::NotABank, why, std::to_string(file.data.size()) + " bytes long" + bankSize);
  uint8_t bytes[kBankBytes];
  std::memcpy(bytes, file.data.data(), kBankBytes);
  decodeBank(engine, bytes);
  return BankIo::Ok;
}

std::string bankProblem(BankIo result, const std::string& path, const std::string& why) {
  switch (result) {
    case BankIo::Ok:
      return {};
    case BankIo::CannotOpen:
      return "cannot open bank file " + path + (why.empty() ? "" : ": " + why);
    case BankIo::CannotRead:
      return "cannot read " + path + (why.empty() ? "" : ": " + why);
    case BankIo::CannotWrite:
      return "cannot write " + path + (why.empty() ? "" : ": " + why);
    case BankIo::NotABank:
      return path + " is not a bank file" + (why.empty() ? "" : " (" + why + ")");
  }
  return {};
}

}  // namespace vz
