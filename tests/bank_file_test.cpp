// Bank files: the fixed 3840-byte format, all-or-nothing loads, and saves that never
// destroy or take over the file they replace.
#include "presets/bank_file.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <random>

#include "presets/preset_commands.h"
#include "presets/preset_slot.h"
#include "tests/test_frames.h"

namespace vz::test {
namespace {

namespace fs = std::filesystem;

class BankFile : public ::testing::Test {
 protected:
  static inline VideoEngine e, loaded;
  fs::path dir;
  void SetUp() override {
    e = VideoEngine();
    loaded = VideoEngine();
    dir = fs::temp_directory_path() /
          ("vz-bank-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override {
    fs::permissions(dir, fs::perms::owner_all);
    fs::remove_all(dir);
  }
  static std::string read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  static void write(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
  }
};

TEST_F(BankFile, SaveThenLoadRestoresEverySlotWithinTheByteRange) {
  std::mt19937 gen(1);
  for (int slot = 0; slot < 26; ++slot) {
    randomizeLook(e, gen);
    storeSlot(e, slot);
  }
  e.presetStore[kSlotInts * 3 + kSlotSettings] = 300;       // a red tint of 300
  e.presetStore[kSlotInts * 4 + kSlotSettings + 18] = 767;  // a blue tint of 767
  e.presetStore[kPresetInts - 1] = 9;  // a record no button reaches travels too
  const fs::path file = dir / "looks.pvl";
  ASSERT_EQ(saveBankFile(file.string(), e), BankIo::Ok);
  EXPECT_EQ(fs::file_size(file), 3840u);
  ASSERT_EQ(loadBankFile(file.string(), loaded), BankIo::Ok);
  for (int i = 0; i < kPresetInts; ++i)
    EXPECT_EQ(loaded.presetStore[i], e.presetStore[i] & 0xFF) << i;
}

TEST_F(BankFile, ShortFilesChangeNothingAndLongOnesLoadTheirFirstBytes) {
  loaded.presetStore[5] = 123;
  write(dir / "short.pvl", std::string(1000, '\x01'));
  write(dir / "empty.pvl", "");
  write(dir / "long.pvl", std::string(3840, '\x02') + "trailing bytes");
  EXPECT_EQ(loadBankFile((dir / "short.pvl").string(), loaded), BankIo::CannotRead);
  EXPECT_EQ(loadBankFile((dir / "empty.pvl").string(), loaded), BankIo::CannotRead);
  EXPECT_EQ(loadBankFile(dir.string(), loaded), BankIo::CannotRead);  // a folder reads nothing
  EXPECT_EQ(loadBankFile((dir / "missing.pvl").string(), loaded), BankIo::CannotOpen);
  EXPECT_EQ(loaded.presetStore[5], 123);
  EXPECT_EQ(loadBankFile((dir / "long.pvl").string(), loaded), BankIo::Ok);
  EXPECT_EQ(loaded.presetStore[3839], 2);
}

// Only the window title matters to a save; the other operations are never called.
struct TitleOnly : DialogOps {
  std::string title = "before";
  void setWindowText(const std::string& t) override { title = t; }
  bool hasControl(int) const override { return false; }
  void setWindowPos(int, unsigned) override {}
  void placeControl(int, int, int, int, int, Stacking) override {}
  bool isControlVisible(int) const override { return false; }
  void setSliderRange(int, int, int) override {}
  int sliderPos(int) const override { return 0; }
  void setSliderPos(int, int) override {}
  void setSliderTickFrequency(int, int) override {}
  void setSliderLineSize(int, int) override {}
  void setSliderPageSize(int, int) override {}
  void checkDlgButton(int, bool) override {}
  bool isDlgButtonChecked(int) const override { return false; }
  void checkRadioButton(int, int, int) override {}
  void setFocusTo(int) override {}
  void invalidateArea(const ClientRect&) override {}
  void setWindowFramed(bool) override {}
  void placeWindow(int, int, int, int) override {}
  int screenWidth() const override { return 0; }
  int screenHeight() const override { return 0; }
  int iconWidth() const override { return 0; }
  int iconHeight() const override { return 0; }
};

struct SeenBoxes : MessageBoxes {
  std::string seen;
  int show(const std::string& text, const std::string& caption, unsigned style) override {
    seen += "|" + text + "|" + caption + "|" + std::to_string(style);
    return kIdOk;
  }
};

struct OnePath : FileDialogs {
  std::string path;
  std::optional<std::string> getOpenFileName(const FileDialogRequest&) override { return path; }
  std::optional<std::string> getSaveFileName(const FileDialogRequest&) override { return path; }
};

// Runs Save Presets as an unprivileged user (the tests may run as root, who may write
// anywhere) with writes capped at fileSizeLimit bytes; returns the window title and every
// box shown, as "title|text|caption|style...".
std::string saveAsNobody(const std::string& path, VideoEngine& e, rlim_t fileSizeLimit) {
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return "no pipe";
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(pipeFds[0]);
    if (::getuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 ||
                            ::setuid(65534) != 0 || ::getuid() == 0))
      ::_exit(100);
    std::signal(SIGXFSZ, SIG_IGN);  // a write past the cap fails as on a full disk
    const rlimit cap{fileSizeLimit, fileSizeLimit};
    TitleOnly dialog;
    SeenBoxes boxes;
    OnePath files;
    files.path = path;
    if (::setrlimit(RLIMIT_FSIZE, &cap) == 0) savePresets(e, dialog, boxes, files);
    const std::string seen = dialog.title + boxes.seen;
    const bool sent = ::write(pipeFds[1], seen.data(), seen.size()) == ssize_t(seen.size());
    ::_exit(sent ? 0 : 101);
  }
  ::close(pipeFds[1]);
  std::string seen;
  char buffer[4096];
  for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) seen.append(buffer, n);
  ::close(pipeFds[0]);
  int status = -1;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  return seen;
}

enum class Outcome { Saved, CannotOpen, CannotWrite };

TEST_F(BankFile, SavesAsAnUnprivilegedUserReplaceOnlyWhatTheyMayAndKeepLinksAndOwners) {
  constexpr fs::perms kOpen = fs::perms::all,
                      kShut = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec;
  constexpr fs::perms kReadOnly =
                          fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read,
                      kWritable = fs::perms::all & ~(fs::perms::owner_exec | fs::perms::group_exec |
                                                     fs::perms::others_exec);
  enum Extra { None, HardLink, SymLink };
  struct Case {
    const char* what;
    fs::perms folder;
    std::optional<fs::perms> file;  // the old bank, owned by the test's user; none: a new file
    Extra extra;
    size_t nameLength;  // of the file saved, with ".pvl"
    rlim_t fileSizeLimit;
    Outcome outcome;
  };
  const rlim_t kNoCap = RLIM_INFINITY;
  const Case cases[] = {
      {"read-only file, writable folder", kOpen, kReadOnly, None, 8, kNoCap, Outcome::CannotOpen},
      {"read-only file and folder", kShut, kReadOnly, None, 8, kNoCap, Outcome::CannotOpen},
      {"new file, read-only folder", kShut, {}, None, 8, kNoCap, Outcome::CannotOpen},
      {"writable file, read-only folder", kShut, kWritable, None, 8, kNoCap, Outcome::Saved},
      {"another owner's writable file", kOpen, kWritable, None, 8, kNoCap, Outcome::Saved},
      {"a second hard link", kOpen, kWritable, HardLink, 8, kNoCap, Outcome::Saved},
      {"through a symbolic link", kOpen, kWritable, SymLink, 8, kNoCap, Outcome::Saved},
      {"hard link, disk full", kOpen, kWritable, HardLink, 8, 1000, Outcome::CannotWrite},
      {"writable file, disk full", kOpen, kWritable, None, 8, 1000, Outcome::CannotWrite},
      {"new file, 248-byte name", kOpen, {}, None, 248, kNoCap, Outcome::Saved},
      {"new file, 255-byte name", kOpen, {}, None, 255, kNoCap, Outcome::Saved},
  };
  e.presetStore[0] = 'N';
  const std::string oldBank = "old bank";
  auto summary = [](const fs::path& p) {  // first byte and length
    const std::string bytes = read(p);
    return bytes.empty() ? "" : bytes.substr(0, 1) + " " + std::to_string(bytes.size());
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::permissions(dir, fs::perms::owner_all);
    for (const auto& entry : fs::directory_iterator(dir)) fs::remove(entry.path());
    const fs::path file = dir / (std::string(c.nameLength - 4, 'b') + ".pvl");
    const fs::path other = dir / "other.pvl";  // the hard link, or the symbolic link's target
    const fs::path real = c.extra == SymLink ? other : file;
    if (c.file) {
      write(real, oldBank);
      fs::permissions(real, *c.file);
      if (c.extra == HardLink) fs::create_hard_link(file, other);
      if (c.extra == SymLink) fs::create_symlink(other.filename(), file);
    }
    struct stat before {};
    ::stat(real.c_str(), &before);
    fs::permissions(dir, c.folder);

    const std::string seen = saveAsNobody(file.string(), e, c.fileSizeLimit);
    fs::permissions(dir, fs::perms::owner_all);
    const bool saved = c.outcome == Outcome::Saved;
    EXPECT_EQ(seen, saved ? "BANK:  " + file.string()
                    : c.outcome == Outcome::CannotOpen
                        ? "before|Can not open...|" + file.string() + "|8240"
                        : "before|Could not write...|Error|16");
    EXPECT_EQ(fs::exists(real), saved || c.file.has_value());
    EXPECT_EQ(summary(real), saved ? "N 3840" : c.file ? "o 8" : "");
    EXPECT_EQ(summary(other), c.extra != None ? summary(file) : "");
    EXPECT_EQ(fs::is_symlink(file), c.extra == SymLink);
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir)) ++files;
    EXPECT_EQ(files, (c.extra != None ? 2u : 1u) - (!c.file && !saved));  // no temporary left
    if (c.file) {
      struct stat after {};
      ::stat(real.c_str(), &after);
      EXPECT_TRUE(c.extra != HardLink || after.st_ino == before.st_ino);
      EXPECT_EQ(after.st_uid, before.st_uid);
      EXPECT_EQ(after.st_mode, before.st_mode);
    }
  }
}

TEST_F(BankFile, ALoadedBankOfAnyBytesRecallsLooksEveryModeCanProcess) {
  std::mt19937 gen(99);
  Frame frame = randomFrame(11, 7, 3);
  const fs::path file = dir / "fuzz.pvl";
  for (int bank = 0; bank < 1000; ++bank) {
    std::string bytes(3840, '\0');
    for (char& b : bytes) b = static_cast<char>(gen());
    write(file, bytes);
    ASSERT_EQ(loadBankFile(file.string(), loaded), BankIo::Ok);
    for (int slot = 0; slot < kSlotCount; ++slot) {
      recallSlotFields(loaded, slot);
      loaded.colorCycle = 1;
      for (int mode = -1; mode <= 10; ++mode) {  // the recalled mode, then each mode
        if (mode >= 0) loaded.mode = static_cast<uint8_t>(mode);
        loaded.processFrame(frame.data(), 11, 7);
        loaded.advanceAnimation();
      }
    }
  }
}

}  // namespace
}  // namespace vz::test
