// SPDX-License-Identifier: GPL-3.0-or-later
// The output stage fed by the real media graph, and the program recording from the command
// line: a recording survives source switches, a lossless recording holds exactly the
// processed bytes, and a killed recording plays.
#include <gst/gst.h>
#include <gtest/gtest.h>

#include "output/output_branches.h"
#include "output/output_stage.h"
#include "tests/filtered_clip.h"
#include "tests/media_fakes.h"

namespace vz::test {
namespace {

namespace fs = std::filesystem;

class OutputsOnTheGraph : public MediaTest {
 protected:
  OutputStage stage;
  OutputsOnTheGraph() { graph.setFrameSink(&stage); }
  ~OutputsOnTheGraph() override {
    graph.releaseGraph();
    graph.setFrameSink(nullptr);  // the stage goes before the graph
  }
};

TEST_F(OutputsOnTheGraph, ARecordingSurvivesThreeSourceSwitches) {
  const ScratchDir dir("vz-switches");
  devices.add({{"FriendlyName", "Cam"}}, testPattern(160, 120));
  playFile(clipPath("halves_mpeg1.mpg"));
  ASSERT_TRUE(recorder.waitFrames(3));
  const Result<RecordFormat> f = resolveRecordFormat((dir / "set.mkv").string(), "");
  stage.setSourceRate(graph.frameRate().numerator, graph.frameRate().denominator);
  ASSERT_EQ(startRecording(stage, *f).message(), "");
  EXPECT_EQ(stage.format().width, 322);
  EXPECT_EQ(stage.format().rateNumerator, 25);
  switchTo(0);  // the camera
  ASSERT_TRUE(waitFor([&] { return recorder.lastWidth.load() == 160; }));
  playFile(clipPath("size_change.mpg"));
  ASSERT_TRUE(waitFor([&] { return recorder.lastWidth.load() == 640; }));
  playFile(clipPath("halves_mpeg1.mpg"));
  ASSERT_TRUE(waitFor([&] { return recorder.lastWidth.load() == 322; }));
  const BranchReport r = stage.removeBranch(kRecordBranch);
  EXPECT_TRUE(r.finalised);
  const std::string info = shell("gst-discoverer-1.0 " + f->path).out;
  EXPECT_NE(info.find("Width: 322"), std::string::npos) << info;
  EXPECT_EQ(info.find("Duration: 0:00:00.0"), std::string::npos) << info;
  EXPECT_GT(r.framesWritten, 10u);
}

// The program recording from its command line for a while, then stopped with signal: its
// wait status.
int recordWithTheProgram(const ScratchDir& dir, const std::vector<std::string>& args,
                         const fs::path& out, int signal) {
  const auto program = startRecordingProgram(dir.path, args, out, signal != SIGKILL);
  usleep(2500000);
  return program->stop(signal, std::chrono::seconds(60));
}

TEST(RecordingProgram, LosslessRecordingHoldsExactlyTheFrameFiltersBytes) {
  const ScratchDir dir("vz-program");
  const FilteredClip look(dir.path, 3);
  const fs::path out = dir / "look.mkv";
  const int status =
      recordWithTheProgram(dir,
                           {"--bank", look.bank.string(), "--preset", "C", "--record", out.string(),
                            "--record-codec", "ffv1", look.clip.string()},
                           out, SIGTERM);
  // Finalised and freed: a clean exit, also for the sanitizers' exit-time checks.
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0) << readFile(dir / "program.log");
  const std::string& ref = look.referenceFrame;
  const std::string got = decodedBgr(out, dir / "decoded.bgr");
  ASSERT_EQ(ref.size(), FilteredClip::kFrameBytes);
  ASSERT_NE(ref, look.sourceFrame);  // the look does change the picture
  ASSERT_GE(got.size(), 10 * ref.size());
  // The recording starts on the look (no black frames before it), and keeps it.
  EXPECT_TRUE(got.compare(0, ref.size(), ref) == 0);
  const size_t middle = got.size() / ref.size() / 2;
  EXPECT_TRUE(got.compare(middle * ref.size(), ref.size(), ref) == 0);
}

TEST(RecordingProgram, AKilledRecordingStillPlays) {
  const ScratchDir dir("vz-program");
  const fs::path out = dir / "killed.mkv";
  recordWithTheProgram(dir, {"--record", out.string(), clipPath("halves_mpeg1.mpg")}, out, SIGKILL);
  const std::string info = shell("gst-discoverer-1.0 -v " + out.string()).out;
  EXPECT_NE(info.find("chroma-format=(string)4:2:0"), std::string::npos) << info;
  EXPECT_NE(info.find("Duration: 0:00:0"), std::string::npos) << info;
  EXPECT_EQ(info.find("Duration: 0:00:00.0"), std::string::npos) << info;
}

}  // namespace
}  // namespace vz::test
