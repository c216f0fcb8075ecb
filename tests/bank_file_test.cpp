// SPDX-License-Identifier: GPL-3.0-or-later
// Slots and bank files: the fixed slot layout and 3840-byte format, all-or-nothing loads, and
// saves that never destroy or take over the file they replace.
#include "presets/bank_file.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <tuple>
#include <vector>

#include "presets/preset_slot.h"
#include "tests/scratch_dir.h"
#include "tests/special_files.h"
#include "tests/test_frames.h"

namespace vz::test {
namespace {

namespace fs = std::filesystem;

class BankFile : public ::testing::Test {
 protected:
  static inline VideoEngine e, loaded;
  ScratchDir dir{"vz-bank"};
  void SetUp() override { e = loaded = VideoEngine(); }
};

TEST_F(BankFile, StoreThenRecallRestoresEveryFieldOfTheLookButTheCycling) {
  std::mt19937 gen(3);
  randomizeLook(e, gen);
  e.mode = 5, e.mirror = 1, e.invertGreen = 1;
  e.currentRed = 9, e.currentGreen = 8, e.currentBlue = 7, e.rampState = 17;
  e.tintRed = 700;  // ints are kept whole in the store
  storeSlot(e, 6);
  const VideoEngine stored = e;
  e.mode = 0, e.mirror = 0, e.invertGreen = 0, e.rampState = 0, e.colorCycle = 1;
  for (int i = 0; i < kSettingsBlockInts; ++i) e.*kSettingsBlock[i] = -1;
  for (int k = 0; k < kPaletteSize; ++k) e.paletteRed[k] = e.paletteBlue[k] = 3;
  recallSlotFields(e, 6);
  for (int i = 0; i < kSettingsBlockInts; ++i)
    EXPECT_EQ(e.*kSettingsBlock[i], stored.*kSettingsBlock[i]) << i;
  EXPECT_EQ(0, std::memcmp(e.paletteRed, stored.paletteRed, sizeof e.paletteRed * 3));
  EXPECT_EQ(e.mode * 100 + e.mirror * 10 + e.invertGreen, 511);
  EXPECT_EQ(e.invertRed, stored.invertRed);
  EXPECT_EQ(e.currentRed + e.currentGreen + e.currentBlue, 24);
  EXPECT_EQ(e.rampState, 17);
  EXPECT_EQ(e.colorCycle, 1);  // not part of a look
}

TEST_F(BankFile, SlotLayoutIsTheBankContract) {
  e.tintRed = 11, e.gainRed = 12, e.colorAmount = 76, e.tintGreen = 74, e.tintBlue = 75;
  e.mode = 3, e.mirror = 52, e.paletteBlue[15] = 47;
  storeSlot(e, 1);
  const int32_t* slot = e.presetStore + kSlotInts;
  // Palette, mode, mirror, current colour (starts white), then the settings block.
  const std::pair<int, int> layout[] = {{47, 47}, {48, 3}, {52, 52}, {53, 255}, {57, 11},
                                        {58, 12}, {62, 1}, {74, 74}, {75, 75},  {76, 76}};
  for (const auto& [index, value] : layout) EXPECT_EQ(slot[index], value) << index;
  for (int i = kSlotUsed; i < kSlotInts; ++i) EXPECT_EQ(slot[i], 0) << i;
  for (int i = 0; i < kSlotInts; ++i) EXPECT_EQ(e.presetStore[i], 0) << i;  // slot A untouched

  // A store leaves the reserved tail; a recall narrows the byte fields.
  int32_t* third = e.presetStore + 2 * kSlotInts;
  for (int i = 0; i < kSlotInts; ++i) third[i] = 1000 + i;
  third[kSlotMode] = 0x107;
  recallSlotFields(e, 2);
  EXPECT_EQ(e.mode, 7);
  EXPECT_EQ(e.invertRed, (1000 + kSlotInvertRed) & 0xFF);
  EXPECT_EQ(e.tintRed, 1000 + kSlotSettings);
  storeSlot(e, 2);
  for (int i = kSlotUsed; i < kSlotInts; ++i) EXPECT_EQ(third[i], 1000 + i);
  EXPECT_EQ(third[kSlotMode], 7);
}

TEST_F(BankFile, SaveThenLoadRestoresEverySlotWithinTheByteRange) {
  std::mt19937 gen(1);
  for (int slot = 0; slot < 26; ++slot) randomizeLook(e, gen), storeSlot(e, slot);
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

// A bank is exactly 3840 bytes: shorter or longer files, and names that are no regular files,
// are refused as no bank (what they are named), change nothing and never wait: a named pipe
// is not opened at all, for a load or a save, and a refused save leaves no temporary behind.
TEST_F(BankFile, OnlyA3840ByteRegularFileIsABankAndNothingElseIsOpened) {
  loaded.presetStore[5] = 123;
  const fs::path huge = dir / "huge.pvl";
  writeFile(huge, "");
  fs::resize_file(huge, 200u << 20);  // sparse: a 200 MB file that takes no room
  std::vector<std::tuple<std::string, BankIo, std::string>> cases = {
      {writeFile(dir / "short.pvl", std::string(1000, '\x01')), BankIo::NotABank,
       "1000 bytes long; a bank is 3840 bytes"},
      {writeFile(dir / "empty.pvl", ""), BankIo::NotABank, "0 bytes long"},
      {writeFile(dir / "long.pvl", std::string(3841, '\x02')), BankIo::NotABank,
       "more than 3840 bytes long; a bank is 3840 bytes"},
      {huge.string(), BankIo::NotABank, "more than 3840 bytes long"},
      {(dir / "missing.pvl").string(), BankIo::CannotOpen, "no such file"}};
  for (const auto& [path, kind] : makeSpecialFiles(dir.path)) {
    cases.emplace_back(path, BankIo::NotABank, kind);
    std::string why;
    EXPECT_EQ(saveBankFile(path, e, &why), BankIo::NotABank) << path;
    EXPECT_EQ(why, kind);
  }
  for (const auto& [path, result, reason] : cases) {
    std::string why;
    EXPECT_EQ(loadBankFile(path, loaded, &why), result) << path;
    EXPECT_EQ(why.find(reason), 0u) << path << ": " << why;
    EXPECT_NE(bankProblem(result, path, why)
                  .find(path + (result == BankIo::NotABank ? " is not a bank file (" + why + ")"
                                                           : ": " + why)),
              std::string::npos);
  }
  EXPECT_EQ(loaded.presetStore[5], 123);
  EXPECT_TRUE(fs::is_fifo(dir / "pipe.pvl"));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), {}), 8);  // no temporary left
  EXPECT_EQ(loadBankFile(writeFile(dir / "bank.pvl", std::string(3840, '\x02')), loaded),
            BankIo::Ok);
  EXPECT_EQ(loaded.presetStore[3839], 2);
}

// Saves as an unprivileged user (the tests may run as root, who may write anywhere) with
// writes capped at fileSizeLimit bytes; what the save gave (-1: it did not run as asked).
int savedAsNobody(const std::string& path, const VideoEngine& e, rlim_t fileSizeLimit) {
  const pid_t child = ::fork();
  if (child == 0) {
    if (::getuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 ||
                            ::setuid(65534) != 0 || ::getuid() == 0))
      ::_exit(100);
    std::signal(SIGXFSZ, SIG_IGN);  // a write past the cap fails as on a full disk
    const rlimit cap{fileSizeLimit, fileSizeLimit};
    ::_exit(::setrlimit(RLIMIT_FSIZE, &cap) == 0 ? static_cast<int>(saveBankFile(path, e)) : 100);
  }
  int status = -1;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) != 100 ? WEXITSTATUS(status) : -1;
}

TEST_F(BankFile, SavesAsAnUnprivilegedUserReplaceOnlyWhatTheyMayAndKeepLinksAndOwners) {
  enum Extra { None, HardLink, SymLink };
  using enum BankIo;
  const rlim_t kNoCap = RLIM_INFINITY;
  const struct {
    const char* what;
    mode_t folder, file;  // file 0: a new one; else the old bank, owned by the test's user
    Extra extra;
    size_t nameLength;  // of the file saved, with ".pvl"
    rlim_t fileSizeLimit;
    BankIo outcome;
  } cases[] = {
      {"read-only file, writable folder", 0777, 0444, None, 8, kNoCap, CannotOpen},
      {"read-only file and folder", 0755, 0444, None, 8, kNoCap, CannotOpen},
      {"new file, read-only folder", 0755, 0, None, 8, kNoCap, CannotOpen},
      {"writable file, read-only folder", 0755, 0666, None, 8, kNoCap, Ok},
      {"another owner's writable file", 0777, 0666, None, 8, kNoCap, Ok},
      {"a second hard link", 0777, 0666, HardLink, 8, kNoCap, Ok},
      {"through a symbolic link", 0777, 0646, SymLink, 8, kNoCap, Ok},
      {"hard link, disk full", 0777, 0666, HardLink, 8, 1000, CannotWrite},
      {"writable file, disk full", 0777, 0666, None, 8, 1000, CannotWrite},
      {"new file, 248-byte name", 0777, 0, None, 248, kNoCap, Ok},
      {"new file, 255-byte name", 0777, 0, None, 255, kNoCap, Ok},
  };
  e.presetStore[0] = 'N';
  auto summary = [](const fs::path& p) {  // first byte and length
    const std::string bytes = readFile(p);
    return bytes.empty() ? "" : bytes.substr(0, 1) + " " + std::to_string(bytes.size());
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ::chmod(dir.path.c_str(), 0700);
    for (const auto& entry : fs::directory_iterator(dir.path)) fs::remove(entry.path());
    const fs::path file = dir / (std::string(c.nameLength - 4, 'b') + ".pvl");
    const fs::path other = dir / "other.pvl";  // the hard link, or the symbolic link's target
    const fs::path real = c.extra == SymLink ? other : file;
    if (c.file) {
      writeFile(real, "old bank");
      ::chmod(real.c_str(), c.file);
      if (c.extra == HardLink) fs::create_hard_link(file, other);
      if (c.extra == SymLink) fs::create_symlink(other.filename(), file);
    }
    struct stat before {
    }, after{};
    ::stat(real.c_str(), &before);
    ::chmod(dir.path.c_str(), c.folder);
    EXPECT_EQ(savedAsNobody(file.string(), e, c.fileSizeLimit), static_cast<int>(c.outcome));
    ::chmod(dir.path.c_str(), 0700);
    ::stat(real.c_str(), &after);
    EXPECT_EQ(summary(real), c.outcome == Ok ? "N 3840" : c.file ? "o 8" : "");
    EXPECT_EQ(summary(other), c.extra != None ? summary(file) : "");
    EXPECT_EQ(fs::is_symlink(file), c.extra == SymLink);
    const auto files = std::distance(fs::directory_iterator(dir.path), {});
    EXPECT_EQ(files, (c.extra != None ? 2 : 1) - (!c.file && c.outcome != Ok));  // no temp
    EXPECT_TRUE(c.extra != HardLink || after.st_ino == before.st_ino);
    EXPECT_EQ(after.st_uid, c.file ? before.st_uid : after.st_uid);  // the owner stays
    EXPECT_EQ(after.st_mode, c.file ? before.st_mode : after.st_mode);
  }
}

TEST_F(BankFile, ALoadedBankOfAnyBytesRecallsLooksEveryModeCanProcess) {
  std::mt19937 gen(99);
  Frame frame = randomFrame(11, 7, 3);
  const fs::path file = dir / "fuzz.pvl";
  for (int bank = 0; bank < 1000; ++bank) {
    std::string bytes(3840, '\0');
    for (char& b : bytes) b = static_cast<char>(gen());
    ASSERT_EQ(loadBankFile(writeFile(file, bytes), loaded), BankIo::Ok);
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
