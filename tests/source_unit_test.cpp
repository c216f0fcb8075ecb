// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "engine/row_order.h"
#include "source/text_convert.h"

namespace vz {
namespace {

TEST(TextConvertTest, CutNeverSplitsACharacter) {
  EXPECT_EQ(cutUtf8("short", 79), "short");
  const std::string euro = "\xE2\x82\xAC";  // three bytes
  EXPECT_EQ(cutUtf8(euro + euro, 5), euro);
  EXPECT_EQ(cutUtf8(euro + euro, 6), euro + euro);
  EXPECT_EQ(cutUtf8(std::string(79, 'a') + "b", 79), std::string(79, 'a'));
  EXPECT_EQ(cutUtf8(euro, 2), "");
}

// Frames whose rows are numbered: row y (top first) holds bytes y*16 + x.
std::vector<uint8_t> numberedRows(int rowBytes, int stride, int height) {
  std::vector<uint8_t> f(static_cast<size_t>(stride) * height, 0xEE);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < rowBytes; ++x) f[static_cast<size_t>(y) * stride + x] = uint8_t(y * 16 + x);
  return f;
}

TEST(RowOrderTest, PaddedRowsArePackedBottomRowFirstAndBack) {
  const int rowBytes = 9, stride = 12, height = 5;  // width 3: three filler bytes a row
  const auto src = numberedRows(rowBytes, stride, height);
  std::vector<uint8_t> dst(static_cast<size_t>(rowBytes) * height);
  packRowsBottomUp(src.data(), stride, dst.data(), rowBytes, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < rowBytes; ++x)
      EXPECT_EQ(dst[static_cast<size_t>(y) * rowBytes + x], uint8_t((height - 1 - y) * 16 + x));
  std::vector<uint8_t> back(src.size(), 0xEE);  // the way back leaves the filler alone
  unpackRowsBottomUp(dst.data(), rowBytes, back.data(), stride, height);
  EXPECT_EQ(back, src);
}

TEST(RowOrderTest, PackedRowsFlipInPlaceForOddEvenAndWideFrames) {
  for (int height : {1, 2, 5, 6}) {
    for (int rowBytes : {3, 966, 5760}) {  // up to a 1920-pixel row, wider than one chunk
      auto f = numberedRows(rowBytes, rowBytes, height);
      flipRowsInPlace(f.data(), rowBytes, height);
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < rowBytes; x += 7)
          ASSERT_EQ(f[static_cast<size_t>(y) * rowBytes + x], uint8_t((height - 1 - y) * 16 + x))
              << height << " rows of " << rowBytes;
    }
  }
}

// The file named on the command line gets the check a dropped file gets: anything but a
// regular file is named as what it is, and a file nothing can play (random bytes, sound only)
// is refused, each in one line with exit status 2, before the program looks for a display.
TEST(CommandLineTest, AFileThatCannotBePlayedIsNamedForWhatItIs) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("vz-args-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  ::mkfifo((dir / "pipe").c_str(), 0600);
  std::ofstream(dir / "clip.mpg") << "not really";
  const std::pair<fs::path, std::string> cases[] = {
      {dir, dir.string() + " is a folder"},
      {dir / "pipe", (dir / "pipe").string() + " is a named pipe, which cannot be played"},
      {"/dev/null", "/dev/null is a device or socket, not a video file"},
      {dir / "missing.mpg", "no such file: " + (dir / "missing.mpg").string()},
      {dir / "clip.mpg",
       (dir / "clip.mpg").string() + " is not a video or picture file that can be read"},
      {VZ_TEST_CLIP_DIR "/garbage.mpg",
       VZ_TEST_CLIP_DIR "/garbage.mpg is not a video or picture file"},
      {VZ_TEST_CLIP_DIR "/sound_only.wav",
       VZ_TEST_CLIP_DIR "/sound_only.wav has no video or picture in it"},
      {VZ_TEST_CLIP_DIR "/halves_mpeg1.mpg", "no display found"},  // the file itself passed
  };
  for (const auto& [path, message] : cases) {
    // Leaks are not this test's question: GStreamer's type finding keeps caches to the end.
    const std::string command =
        "ASAN_OPTIONS=\"$ASAN_OPTIONS:detect_leaks=0\" env -u DISPLAY -u "
        "WAYLAND_DISPLAY -u QT_QPA_PLATFORM " +
        std::string(VZ_APP_PATH) + " '" + path.string() + "' 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    std::string out;
    char buffer[512];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    const int status = ::pclose(pipe);
    EXPECT_EQ(WEXITSTATUS(status), 2) << path;
    EXPECT_EQ(out.rfind("videozarnix: " + message, 0), 0u) << out;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
  }
  fs::remove_all(dir);
}

}  // namespace
}  // namespace vz
