// SPDX-License-Identifier: GPL-3.0-or-later
// The program fading live: a still clip recorded losslessly while a recall arrives by OSC
// with --fade 0.5; from the recall on, the recording holds the filter's fade frame for frame.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/filtered_clip.h"
#include "tests/osc_packet.h"

namespace vz::test {
namespace {

TEST(ProgramFade, ARecallByOscRecordsTheFiltersFadeFrameForFrame) {
  const ScratchDir dir("vz-fade-program");
  const FilteredClip look(dir.path, 20);
  const std::filesystem::path out = dir / "take.mkv";
  ASSERT_EQ(look.sourceFrame.size(), FilteredClip::kFrameBytes);

  const int port = freeUdpPort();
  const auto program = startRecordingProgram(
      dir.path,
      {"--midi", "none", "--osc-port", std::to_string(port), "--osc-bind", "127.0.0.1", "--bank",
       look.bank.string(), "--preset", "A", "--fade", "0.5", "--record", out.string(),
       "--record-codec", "ffv1", look.clip.string()},
      out, true);
  usleep(1000000);
  Udp(port).send("/videozarnix/preset", "s", "C");
  usleep(2500000);
  const int status = program->stop(SIGTERM, std::chrono::seconds(60));
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
      << status << readFile(dir / "program.log");
  const std::vector<std::string> got =
      FilteredClip::distinctFrames(decodedBgr(out, dir / "decoded.bgr"));

  // 0.5 s at 25 frames a second: 13 frames (12.5 rounded); the filter's fade over the still
  // picture, then C alone.
  const std::string fx = look.filtered("--preset A --fade-to C --fade-frames 13", 16);
  ASSERT_EQ(fx.size(), 16 * FilteredClip::kFrameBytes);
  // Collapsed alike: the fade's last frame is already C alone.
  const std::vector<std::string> want = FilteredClip::distinctFrames(fx);
  ASSERT_GE(want.size(), 10u);
  // The frames before the recall are A alone: the fade's frame 0 is not among them.
  size_t at = 0;
  while (at < got.size() && got[at] != want[0]) ++at;
  ASSERT_LT(at, got.size()) << "no frame of the fade's start in " << got.size() << " frames";
  ASSERT_GE(at, 1u) << "the recording begins inside the fade";
  ASSERT_EQ(got.size(), at + want.size()) << "the fade's frames, then C alone till the end";
  for (size_t j = 0; j < want.size(); ++j) EXPECT_TRUE(got[at + j] == want[j]) << "frame " << j;
}

}  // namespace
}  // namespace vz::test
