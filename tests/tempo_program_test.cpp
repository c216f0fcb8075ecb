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

#include "tests/filtered_clip.h"

namespace vz::test {
namespace {

namespace fs = std::filesystem;
constexpr size_t kFrameBytes = FilteredClip::kFrameBytes;

TEST(TempoProgram, ASequenceOnTheBeatChangesLookEveryFifteenFramesAtThirtyFps) {
  const ScratchDir dir("vz-tempo");
  const FilteredClip look(dir.path, 12, 30);
  const fs::path out = dir / "beat.mkv";
  const std::string a = look.filtered("--preset A", 1), &c = look.referenceFrame;
  ASSERT_EQ(a.size(), kFrameBytes);
  ASSERT_EQ(c.size(), kFrameBytes);
  ASSERT_NE(a, c);

  const auto program =
      startRecordingProgram(dir.path,
                            {"--bank", look.bank.string(), "--tempo", "120", "--sequence", "AC",
                             "--sequence-beats", "1", "--record", out.string(), "--record-codec",
                             "ffv1", "--midi", "none", "--osc-port", "0", look.clip.string()},
                            out, false);
  usleep(6'000'000);  // a dozen beats
  const int status = program->stop(SIGTERM, std::chrono::seconds(60));
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << readFile(dir / "program.log");

  const std::string frames = decodedBgr(out, dir / "decoded.bgr");
  const size_t count = frames.size() / kFrameBytes;
  ASSERT_GE(count, 150u);
  std::string seen;  // one letter a frame: A, C, or '.' for anything else
  for (size_t i = 0; i < count; ++i) {
    const std::string_view frame(frames.data() + i * kFrameBytes, kFrameBytes);
    seen += frame == a ? 'A' : frame == c ? 'C' : '.';
  }
  // After the first beat, only the two looks, in turn.
  const size_t first = seen.find_first_of("AC");
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
