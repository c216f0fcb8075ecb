#include "presets/bank_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <utility>

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

}  // namespace

BankIo saveBankFile(const std::string& path, const VideoEngine& engine) {
  uint8_t bytes[kBankBytes];
  encodeBank(engine, bytes);
  const fs::path target = targetOf(path);
  struct stat existing {};
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  if (exists && !S_ISREG(existing.st_mode)) return BankIo::CannotOpen;
  // A file this user may not write is never replaced, though its folder would allow it.
  Fd out(exists ? ::open(target.c_str(), O_WRONLY | O_CLOEXEC) : -1);
  if (exists && out.get() < 0) return BankIo::CannotOpen;

  fs::path dir = target.parent_path();
  if (dir.empty()) dir = ".";
  // Short, so that it fits beside a target whose name is already as long as names get.
  std::string temp = (dir / ".vzbank.XXXXXX").string();
  Fd fd(::mkstemp(temp.data()));
  if (fd.get() < 0) return exists ? writeInPlace(out, bytes) : BankIo::CannotOpen;
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

BankIo loadBankFile(const std::string& path, VideoEngine& engine) {
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return BankIo::CannotOpen;
  uint8_t bytes[kBankBytes];
  size_t got = 0;
  while (got < kBankBytes) {
    const ssize_t n = ::read(fd.get(), bytes + got, kBankBytes - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return BankIo::CannotRead;  // an error, or the file ends early
    got += static_cast<size_t>(n);
  }
  decodeBank(engine, bytes);
  return BankIo::Ok;
}

}  // namespace vz
