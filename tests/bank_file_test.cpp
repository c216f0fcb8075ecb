// Bank files: the fixed 3840-byte format, all-or-nothing loads, and saves that never
// destroy the file they replace.
#include "presets/bank_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>

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
  EXPECT_EQ(loaded.presetStore[kSlotInts * 3 + kSlotSettings], 44);
  EXPECT_EQ(loaded.presetStore[kSlotInts * 4 + kSlotSettings + 18], 255);
}

TEST_F(BankFile, ShortFilesChangeNothingAndLongOnesLoadTheirFirstBytes) {
  loaded.presetStore[5] = 123;
  write(dir / "short.pvl", std::string(1000, '\x01'));
  EXPECT_EQ(loadBankFile((dir / "short.pvl").string(), loaded), BankIo::CannotRead);
  EXPECT_EQ(loaded.presetStore[5], 123);
  EXPECT_EQ(loaded.presetStore[0], 0);
  write(dir / "empty.pvl", "");
  EXPECT_EQ(loadBankFile((dir / "empty.pvl").string(), loaded), BankIo::CannotRead);

  write(dir / "long.pvl", std::string(3840, '\x02') + "trailing bytes");
  EXPECT_EQ(loadBankFile((dir / "long.pvl").string(), loaded), BankIo::Ok);
  EXPECT_EQ(loaded.presetStore[3839], 2);
  EXPECT_EQ(loadBankFile((dir / "missing.pvl").string(), loaded), BankIo::CannotOpen);
  EXPECT_EQ(loadBankFile(dir.string(), loaded), BankIo::CannotRead);  // a folder reads nothing
}

TEST_F(BankFile, SaveReplacesThroughALinkAndKeepsPermissions) {
  const fs::path real = dir / "real.pvl", link = dir / "link.pvl";
  write(real, "old");
  fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::create_symlink("real.pvl", link);
  e.presetStore[0] = 65;
  ASSERT_EQ(saveBankFile(link.string(), e), BankIo::Ok);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(fs::file_size(real), 3840u);
  EXPECT_EQ(read(real)[0], 'A');
  EXPECT_EQ(fs::status(real).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  int files = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir)) ++files;
  EXPECT_EQ(files, 2);  // no temporary file left behind
}

// Runs a save as an unprivileged user (the tests may run as root, who may write anywhere).
BankIo saveAsNobody(const std::string& path, const VideoEngine& e) {
  const pid_t child = ::fork();
  if (child == 0) {
    if (::getuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(100);
    ::_exit(static_cast<int>(saveBankFile(path, e)));
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return static_cast<BankIo>(WEXITSTATUS(status));
}

TEST_F(BankFile, FailedSaveLeavesTheOldFileIntact) {
  const fs::path file = dir / "kept.pvl";
  write(file, "old bank");
  fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  fs::permissions(dir, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                           fs::perms::others_read | fs::perms::others_exec);
  EXPECT_EQ(saveAsNobody(file.string(), e), BankIo::CannotOpen);
  EXPECT_EQ(read(file), "old bank");
  EXPECT_EQ(saveAsNobody((dir / "new.pvl").string(), e), BankIo::CannotOpen);
  EXPECT_FALSE(fs::exists(dir / "new.pvl"));
}

TEST_F(BankFile, WritesInPlaceWhereOnlyTheFileItselfIsWritable) {
  const fs::path file = dir / "shared.pvl";
  write(file, "old bank");
  fs::permissions(file, fs::perms::all);
  fs::permissions(dir, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                           fs::perms::others_read | fs::perms::others_exec);
  e.presetStore[1] = 66;
  EXPECT_EQ(saveAsNobody(file.string(), e), BankIo::Ok);
  EXPECT_EQ(fs::file_size(file), 3840u);
  EXPECT_EQ(read(file)[1], 'B');
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
