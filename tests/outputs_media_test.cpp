// SPDX-License-Identifier: GPL-3.0-or-later
// The output stage fed by the real media graph, and the program recording from the command
// line: the preview never waits for a consumer, a recording survives source switches, a
// lossless recording holds exactly the processed bytes, and a killed recording plays.
#include <gst/gst.h>
#include <gtest/gtest.h>

#include "output/output_branches.h"
#include "output/output_stage.h"
#include "tests/filtered_clip.h"
#include "tests/media_fakes.h"
#include "tests/stuck_branch.h"

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

TEST_F(OutputsOnTheGraph, AConsumerThatBlocksNeverHoldsUpThePreview) {
  StuckBranch stuck(stage);
  playFile(clipPath("halves_mpeg1.mpg"));
  // The whole clip (2 s at 25 fps) reaches the preview while the consumer holds its first
  // frame.
  EXPECT_TRUE(recorder.waitFrames(50));
  EXPECT_GT(stage.report("stuck").framesDropped, 10u);
  stuck.release();
  graph.stopAndRelease();
  stage.removeBranch("stuck");
}

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

// The program itself, started on a clip, recording until the file holds some bytes and a
// while longer; then stopped with signal. The wait status; a program stopped by a signal it
// handles is checked for leaks at exit.
int recordWithTheProgram(const ScratchDir& dir, std::vector<std::string> args, const fs::path& out,
                         int signal) {
  args.insert(args.begin(), VZ_PROGRAM_PATH);
  Child program(args, (dir / "program.log").string(),
                programEnvironment(dir.path, signal != SIGKILL));
  std::error_code ec;
  for (int i = 0; i < 3000 && !(fs::file_size(out, ec) >= 1000 && !ec); ++i) usleep(10000);
  EXPECT_GE(fs::file_size(out, ec), 1000u) << readFile(dir / "program.log");
  usleep(2500000);
  return program.stop(signal, std::chrono::seconds(60));
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
  const fs::path decoded = dir / "decoded.bgr";
  shell("gst-launch-1.0 -q filesrc location=" + out.string() +
        " ! matroskademux ! avdec_ffv1 ! videoconvert ! video/x-raw,format=BGR ! filesink "
        "location=" +
        decoded.string());
  const std::string& ref = look.referenceFrame;
  const std::string got = readFile(decoded);
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
