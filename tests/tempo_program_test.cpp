// SPDX-License-Identifier: GPL-3.0-or-later
// The program on the beat: a still clip played with a fixed tempo and a sequence of two looks,
// recorded losslessly; the recording changes look every beat (15 frames at 30 fps and 120 BPM),
// each change on the frame of its beat.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "presets/bank_file.h"
#include "presets/preset_slot.h"
#include "tests/child_process.h"
#include "tests/scratch_dir.h"

namespace vz::test {
namespace {

namespace fs = std::filesystem;
constexpr size_t kFrameBytes = 320 * 240 * 3;

// The frame filter's picture of `slot` from `bank` on the source frame.
std::string lookOf(const fs::path& dir, const fs::path& bank, char letter) {
  const fs::path out = dir / (std::string("look_") + letter + ".bgr");
  shell("head -c " + std::to_string(kFrameBytes) + " " + (dir / "source.bgr").string() + " | " +
        VZ_FX_PATH + " --size 320x240 --bank " + bank.string() + " --preset " + letter + " > " +
        out.string());
  return readFile(out);
}

TEST(TempoProgram, ASequenceOnTheBeatChangesLookEveryFifteenFramesAtThirtyFps) {
  const ScratchDir dir("vz-tempo");
  const fs::path clip = dir / "still.mpg", bank = dir / "looks.pvl", out = dir / "beat.mkv";
  shell(
      "ffmpeg -nostdin -loglevel error -y -f lavfi -i "
      "'color=c=0x3080c0:s=320x240:r=30:d=12,drawbox=x=40:y=30:w=100:h=80:"
      "color=0xe0a020:t=fill' -g 1 -c:v mpeg1video -q:v 2 " +
      clip.string());
  VideoEngine looks;
  looks.mode = static_cast<uint8_t>(EffectMode::Negative);
  storeSlot(looks, 'F' - 'A');
  looks.mode = static_cast<uint8_t>(EffectMode::Overflow);
  looks.gainRed = 180, looks.gainBlue = 40, looks.tintRed = 300, looks.mirror = 1;
  storeSlot(looks, 'G' - 'A');
  saveBankFile(bank.string(), looks);
  shell("gst-launch-1.0 -q filesrc location=" + clip.string() +
        " ! decodebin ! videoconvert ! video/x-raw,format=BGR ! filesink location=" +
        (dir / "source.bgr").string());
  const std::string f = lookOf(dir.path, bank, 'F'), g = lookOf(dir.path, bank, 'G');
  ASSERT_EQ(f.size(), kFrameBytes);
  ASSERT_EQ(g.size(), kFrameBytes);
  ASSERT_NE(f, g);

  Child program({VZ_PROGRAM_PATH, "--bank", bank.string(), "--tempo", "120", "--sequence", "FG",
                 "--sequence-beats", "1", "--record", out.string(), "--record-codec", "ffv1",
                 "--midi", "none", "--osc-port", "0", clip.string()},
                (dir / "program.log").string(), programEnvironment(dir.path));
  std::error_code ec;
  for (int i = 0; i < 3000 && !(fs::file_size(out, ec) >= 1000 && !ec); ++i) usleep(10000);
  ASSERT_GE(fs::file_size(out, ec), 1000u) << readFile(dir / "program.log");
  usleep(6'000'000);  // a dozen beats
  const int status = program.stop(SIGTERM, std::chrono::seconds(60));
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << readFile(dir / "program.log");

  const fs::path decoded = dir / "decoded.bgr";
  shell("gst-launch-1.0 -q filesrc location=" + out.string() +
        " ! matroskademux ! avdec_ffv1 ! videoconvert ! video/x-raw,format=BGR ! filesink "
        "location=" +
        decoded.string());
  const std::string frames = readFile(decoded);
  const size_t count = frames.size() / kFrameBytes;
  ASSERT_GE(count, 150u);
  std::string seen;  // one letter a frame: F, G, or '.' for anything else
  for (size_t i = 0; i < count; ++i) {
    const std::string_view frame(frames.data() + i * kFrameBytes, kFrameBytes);
    seen += frame == f ? 'F' : frame == g ? 'G' : '.';
  }
  // After the first beat, only the two looks, in turn.
  const size_t first = seen.find_first_of("FG");
  ASSERT_NE(first, std::string::npos) << seen;
  EXPECT_EQ(seen.find('.', first), std::string::npos) << seen;
  std::vector<size_t> changes;
  for (size_t i = first + 1; i < count; ++i)
    if (seen[i] != seen[i - 1]) changes.push_back(i);
  ASSERT_GE(changes.size(), 8u) << seen;
  // Every change on the 15-frame grid of the beat, within a frame: measured from the grid that
  // fits them best (the recording's first frame is not on a beat).
  std::vector<long> phase;
  for (size_t k = 0; k < changes.size(); ++k)
    phase.push_back(static_cast<long>(changes[k]) - static_cast<long>(changes[0] + 15 * k));
  std::vector<long> sorted = phase;
  std::sort(sorted.begin(), sorted.end());
  const long middle = sorted[sorted.size() / 2];
  for (size_t k = 0; k < phase.size(); ++k)
    EXPECT_LE(std::labs(phase[k] - middle), 1)
        << "change " << k << " at frame " << changes[k] << "\n"
        << seen;
}

}  // namespace
}  // namespace vz::test
