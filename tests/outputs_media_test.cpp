// The output stage fed by the real media graph, and the program recording from the command
// line: the preview never waits for a consumer, a recording survives source switches, a
// lossless recording holds exactly the processed bytes, and a killed recording plays.
#include <gst/gst.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "output/output_branches.h"
#include "output/output_stage.h"
#include "presets/bank_file.h"
#include "presets/preset_slot.h"
#include "tests/media_fixture.h"

// In sanitizer_suppressions.cpp, built into this test.
extern "C" const char* __tsan_default_suppressions();

namespace vz::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string run(const std::string& command) {
  FILE* p = popen((command + " 2>&1").c_str(), "r");
  std::string out;
  char buf[4096];
  while (p != nullptr && fgets(buf, sizeof buf, p)) out += buf;
  if (p != nullptr) pclose(p);
  return out;
}

std::string readFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

fs::path scratch(const char* name) {
  const fs::path dir = fs::temp_directory_path() / name;
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

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
  std::atomic<bool> release{false};
  ASSERT_EQ(stage.addBranch("stuck", "fakesink name=sink sync=false signal-handoffs=true",
                            [&](GstBin* bin) {
                              GstElement* s = gst_bin_get_by_name(bin, "sink");
                              g_signal_connect(
                                  s, "handoff",
                                  G_CALLBACK(+[](GstElement*, GstBuffer*, GstPad*, gpointer flag) {
                                    while (!static_cast<std::atomic<bool>*>(flag)->load())
                                      g_usleep(5000);
                                  }),
                                  &release);
                              gst_object_unref(s);
                            }),
            "");
  playFile(clipPath("halves_mpeg1.mpg"));
  // The whole clip (2 s at 25 fps) reaches the preview while the consumer holds its first
  // frame.
  EXPECT_TRUE(recorder.waitFrames(50));
  EXPECT_GT(stage.report("stuck").framesDropped, 10u);
  release.store(true);
  graph.stopAndRelease();
  stage.removeBranch("stuck");
}

TEST_F(OutputsOnTheGraph, ARecordingSurvivesThreeSourceSwitches) {
  const fs::path dir = scratch("vz-switches");
  devices.add({{"FriendlyName", "Cam"}}, testPattern(160, 120));
  playFile(clipPath("halves_mpeg1.mpg"));
  ASSERT_TRUE(recorder.waitFrames(3));
  const RecordFormatResult f = resolveRecordFormat((dir / "set.mkv").string(), "");
  stage.setSourceRate(graph.frameRate().numerator, graph.frameRate().denominator);
  ASSERT_EQ(startRecording(stage, f.format), "");
  EXPECT_EQ(stage.format().width, 322);
  EXPECT_EQ(stage.format().rateNumerator, 25);
  switchTo(0);  // the camera
  ASSERT_TRUE(recorder.waitFor([&] { return recorder.lastWidth.load() == 160; }));
  playFile(clipPath("size_change.mpg"));
  ASSERT_TRUE(recorder.waitFor([&] { return recorder.lastWidth.load() == 640; }));
  playFile(clipPath("halves_mpeg1.mpg"));
  ASSERT_TRUE(recorder.waitFor([&] { return recorder.lastWidth.load() == 322; }));
  const BranchReport r = stage.removeBranch(kRecordBranch);
  EXPECT_TRUE(r.finalised);
  const std::string info = run("gst-discoverer-1.0 " + f.format.path);
  EXPECT_NE(info.find("Width: 322"), std::string::npos) << info;
  EXPECT_EQ(info.find("Duration: 0:00:00.0"), std::string::npos) << info;
  EXPECT_GT(r.framesWritten, 10u);
  fs::remove_all(dir);
}

// The program itself, started on a clip with a look from a bank, recording.
class RecordingProgram : public ::testing::Test {
 protected:
  fs::path dir;
  pid_t pid = -1;
  void SetUp() override {
    dir = scratch(("vz-program-" +
                   std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()))
                      .c_str());
  }
  void TearDown() override {
    if (pid > 0) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
    fs::remove_all(dir);
  }
  void start(std::vector<std::string> args) {
    const fs::path suppressions = dir / "tsan.supp";
    std::ofstream(suppressions) << __tsan_default_suppressions();
    pid = fork();
    if (pid == 0) {
      setenv("QT_QPA_PLATFORM", "offscreen", 1);
      // The program's own exit-time leak report (GLib's and GStreamer's process-lifetime
      // allocations) is not what these tests judge; its status is.
      const char* asan = getenv("ASAN_OPTIONS");
      setenv("ASAN_OPTIONS", (std::string(asan ? asan : "") + ":detect_leaks=0").c_str(), 1);
      // The program is not built with the tests' suppressions for uninstrumented GLib and
      // GStreamer: hand it the same list.
      const char* tsan = getenv("TSAN_OPTIONS");
      setenv("TSAN_OPTIONS",
             (std::string(tsan ? tsan : "") + ":suppressions=" + suppressions.string()).c_str(), 1);
      setenv("G_SLICE", "always-malloc", 1);
      std::vector<char*> argv{const_cast<char*>(VZ_PROGRAM_PATH)};
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(VZ_PROGRAM_PATH, argv.data());
      _exit(127);
    }
  }
  // Lets it record until the file holds at least bytes.
  bool waitForFile(const fs::path& p, uintmax_t bytes) {
    for (int i = 0; i < 1500; ++i) {
      std::error_code ec;
      if (fs::file_size(p, ec) >= bytes && !ec) return true;
      usleep(10000);
    }
    return false;
  }
  int stop(int signal) {
    kill(pid, signal);
    int status = 0;
    waitpid(pid, &status, 0);
    pid = -1;
    return status;
  }
};

// A clip whose frames are all alike (every one intra-coded from the same picture), a bank
// with a look in slot C, and that look applied by the frame filter to the picture as the
// program's graph decodes and converts it (320x240, top row first).
struct Look {
  fs::path clip, bank, source, reference;
  std::string referenceBytes, sourceBytes;
  explicit Look(const fs::path& dir, int seconds = 3)
      : clip(dir / "still.mpg"),
        bank(dir / "look.pvl"),
        source(dir / "source.bgr"),
        reference(dir / "reference.bgr") {
    run("ffmpeg -nostdin -loglevel error -y -f lavfi -i "
        "'color=c=0x3080c0:s=320x240:r=25:d=" +
        std::to_string(seconds) +
        ",drawbox=x=40:y=30:w=100:h=80:color=0xe0a020:t=fill,"
        "drawgrid=w=32:h=32:color=white' -g 1 -c:v mpeg1video -q:v 2 " +
        clip.string());
    VideoEngine look;
    look.mode = static_cast<uint8_t>(EffectMode::Overflow);
    look.gainRed = 180;
    look.gainBlue = 40;
    look.tintRed = 300;
    look.mirror = 1;
    storeSlot(look, 2);
    saveBankFile(bank.string(), look);
    run("gst-launch-1.0 -q filesrc location=" + clip.string() +
        " ! decodebin ! videoconvert ! video/x-raw,format=BGR ! filesink location=" +
        source.string());
    run("head -c 230400 " + source.string() + " | " + VZ_FX_PATH + " --size 320x240 --bank " +
        bank.string() + " --preset C > " + reference.string());
    referenceBytes = readFile(reference);
    sourceBytes = readFile(source).substr(0, referenceBytes.size());
  }
};

TEST_F(RecordingProgram, LosslessRecordingHoldsExactlyTheFrameFiltersBytes) {
  const Look look(dir);
  const fs::path& clip = look.clip;
  const fs::path& bank = look.bank;
  const fs::path out = dir / "look.mkv";
  start({"--bank", bank.string(), "--preset", "C", "--record", out.string(), "--record-codec",
         "ffv1", clip.string()});
  ASSERT_TRUE(waitForFile(out, 1000));
  usleep(2000000);
  const int status = stop(SIGTERM);
  ASSERT_TRUE(WIFEXITED(status)) << status;

  const fs::path decoded = dir / "decoded.bgr";
  run("gst-launch-1.0 -q filesrc location=" + out.string() +
      " ! matroskademux ! avdec_ffv1 ! videoconvert ! video/x-raw,format=BGR ! filesink "
      "location=" +
      decoded.string());
  const std::string& ref = look.referenceBytes;
  const std::string got = readFile(decoded);
  ASSERT_EQ(ref.size(), 230400u);
  ASSERT_NE(ref, look.sourceBytes);  // the look does change the picture
  ASSERT_GE(got.size(), 10 * ref.size());
  // A frame from the middle: the first may predate the look, the last the close.
  const size_t middle = got.size() / ref.size() / 2;
  EXPECT_TRUE(got.compare(middle * ref.size(), ref.size(), ref) == 0);
}

TEST_F(RecordingProgram, AKilledRecordingStillPlays) {
  const fs::path out = dir / "killed.mkv";
  start({"--record", out.string(), std::string(VZ_TEST_CLIP_DIR) + "/halves_mpeg1.mpg"});
  ASSERT_TRUE(waitForFile(out, 1000));
  usleep(2500000);
  stop(SIGKILL);
  const std::string info = run("gst-discoverer-1.0 -v " + out.string());
  EXPECT_NE(info.find("chroma-format=(string)4:2:0"), std::string::npos) << info;
  EXPECT_NE(info.find("Duration: 0:00:0"), std::string::npos) << info;
  EXPECT_EQ(info.find("Duration: 0:00:00.0"), std::string::npos) << info;
}

}  // namespace
}  // namespace vz::test
