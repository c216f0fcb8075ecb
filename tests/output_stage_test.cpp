// SPDX-License-Identifier: GPL-3.0-or-later
// The output stage: frames arrive upright at the fixed size with black bars, the rate holds
// without frames, a consumer that blocks drops only its own frames, and a failing recording
// ends alone.
#include "output/output_stage.h"

#include <gst/app/gstappsink.h>
#include <gst/video/video.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "output/output_branches.h"
#include "tests/child_process.h"
#include "tests/scratch_dir.h"

namespace vz::test {
namespace {

using namespace std::chrono_literals;

// Bottom-up packed frame whose row y (counted from the top) is filled with value(y).
std::vector<uint8_t> frame(int w, int h, uint8_t (*value)(int)) {
  std::vector<uint8_t> f(static_cast<size_t>(w) * 3 * h);
  for (int y = 0; y < h; ++y)
    std::fill_n(f.begin() + static_cast<size_t>(h - 1 - y) * w * 3, w * 3, value(y));
  return f;
}

// Rows of the next sample of an appsink branch, top first, one byte per row (its first).
std::vector<int> pullRows(GstElement* sink) {
  GstSample* s = gst_app_sink_try_pull_sample(GST_APP_SINK(sink), 5 * GST_SECOND);
  if (s == nullptr) return {};
  GstVideoInfo info;
  gst_video_info_from_caps(&info, gst_sample_get_caps(s));
  GstVideoFrame vf;
  std::vector<int> rows;
  if (gst_video_frame_map(&vf, &info, gst_sample_get_buffer(s), GST_MAP_READ)) {
    for (int y = 0; y < GST_VIDEO_FRAME_HEIGHT(&vf); ++y)
      rows.push_back(static_cast<const uint8_t*>(
          GST_VIDEO_FRAME_PLANE_DATA(&vf, 0))[y * GST_VIDEO_FRAME_PLANE_STRIDE(&vf, 0)]);
    gst_video_frame_unmap(&vf);
  }
  gst_sample_unref(s);
  return rows;
}

// An output branch whose sink holds the first frame it gets until released: a consumer that
// blocks. It leaves the stage, released, when it goes.
class StuckBranch {
 public:
  explicit StuckBranch(OutputStage& stage) : stage_(stage) {
    const auto hold = +[](GstElement*, GstBuffer*, GstPad*, gpointer flag) {
      while (!static_cast<std::atomic<bool>*>(flag)->load()) g_usleep(5000);
    };
    EXPECT_EQ(stage
                  .addBranch("stuck", "fakesink name=sink sync=false signal-handoffs=true",
                             [&](GstBin* bin) {
                               GstElement* sink = gst_bin_get_by_name(bin, "sink");
                               g_signal_connect(sink, "handoff", G_CALLBACK(hold), &released_);
                               gst_object_unref(sink);
                             })
                  .message(),
              "");
  }
  ~StuckBranch() {
    release();
    if (stage_.hasBranch("stuck")) stage_.removeBranch("stuck");
  }
  void release() { released_.store(true); }
  bool released() const { return released_.load(); }

 private:
  OutputStage& stage_;
  std::atomic<bool> released_{false};
};

class OutputStageTest : public ::testing::Test {
 protected:
  OutputStage stage;
  GstElement* appsink = nullptr;
  void addAppSink(const std::string& id = "look") {
    ASSERT_EQ(stage
                  .addBranch(id, "appsink name=sink sync=false max-buffers=1 drop=true",
                             [&](GstBin* bin) { appsink = gst_bin_get_by_name(bin, "sink"); })
                  .message(),
              "");
  }
  void TearDown() override {
    if (appsink != nullptr) gst_object_unref(appsink);
  }
};

TEST_F(OutputStageTest, FramesArriveUprightAtTheFixedSizeWithBlackBars) {
  // 6 pixels wide: 18-byte rows, which only the stride in the frame's meta describes.
  const auto rowValue = [](int y) { return static_cast<uint8_t>(40 + 40 * y); };
  std::vector<uint8_t> f = frame(6, 4, rowValue);
  stage.takeFrame(f.data(), 6, 4);  // before any output: only fixes the size
  addAppSink();
  EXPECT_EQ(stage.format().width, 6);
  EXPECT_EQ(stage.format().height, 4);
  std::vector<int> rows;
  ASSERT_TRUE(waitFor([&] {
    stage.takeFrame(f.data(), 6, 4);
    rows = pullRows(appsink);
    return rows.size() == 4 && rows[0] != 0;
  }));
  EXPECT_EQ(rows, (std::vector<int>{40, 80, 120, 160}));

  // A wider source: scaled into the middle rows, black above and below.
  std::vector<uint8_t> wide = frame(24, 4, [](int) { return uint8_t{200}; });
  ASSERT_TRUE(waitFor([&] {
    stage.takeFrame(wide.data(), 24, 4);
    rows = pullRows(appsink);
    return rows.size() == 4 && rows[1] == 200;
  }));
  EXPECT_EQ(rows.front(), 0);
  EXPECT_EQ(rows.back(), 0);

  // The source goes away: black at the same steady rate.
  stage.sourceStopped();
  ASSERT_TRUE(waitFor([&] {
    rows = pullRows(appsink);
    return rows == std::vector<int>(4, 0);
  }));
  const uint64_t before = stage.framesPushed();
  EXPECT_TRUE(waitFor([&] { return stage.framesPushed() >= before + 5; }));
}

TEST_F(OutputStageTest, ABlockedConsumerDropsOnlyItsOwnFrames) {
  std::vector<uint8_t> f = frame(64, 48, [](int y) { return static_cast<uint8_t>(y); });
  stage.takeFrame(f.data(), 64, 48);
  StuckBranch stuck(stage);
  addAppSink();
  // The feeding side goes on regardless; so does the other branch.
  std::atomic<int> handed{0};
  std::thread feeder([&] {
    for (; !stuck.released(); handed.fetch_add(1), std::this_thread::sleep_for(10ms))
      stage.takeFrame(f.data(), 64, 48);
  });
  int seen = 0;
  EXPECT_TRUE(waitFor([&] {
    seen += !pullRows(appsink).empty();
    return stage.report("stuck").framesDropped >= 10 && seen >= 10;
  }));
  EXPECT_GE(handed.load(), 10);
  stuck.release();
  feeder.join();
  const BranchReport r = stage.removeBranch("stuck");
  EXPECT_TRUE(r.finalised);
  EXPECT_GT(r.framesDropped, 0u);
  EXPECT_TRUE(stage.running());  // the other branch keeps it going
  stage.removeBranch("look");
  EXPECT_FALSE(stage.running());
}

// A recording that cannot start, and one on a full disk: each fails with its reason and
// leaves the stage with the other outputs running.
TEST_F(OutputStageTest, AFailingRecordingEndsAloneWithItsReason) {
  std::mutex m;
  std::string reported;
  stage.setErrorHandler([&](const std::string& id, const std::string& message) {
    std::lock_guard lock(m);
    reported = id + ": " + message;
  });
  std::vector<uint8_t> f = frame(320, 240, [](int y) { return static_cast<uint8_t>(y); });
  stage.takeFrame(f.data(), 320, 240);
  addAppSink();
  auto othersGoOn = [&] {
    EXPECT_FALSE(stage.hasBranch(kRecordBranch));
    ASSERT_TRUE(stage.running());
    const uint64_t before = stage.framesPushed();
    EXPECT_TRUE(waitFor([&] { return stage.framesPushed() >= before + 5; }));
    EXPECT_FALSE(pullRows(appsink).empty());
  };
  RecordFormat format = resolveRecordFormat("/proc/no/such/place.mkv", "").value();
  const std::string error = startRecording(stage, format).message();
  EXPECT_NE(error.find("/proc/no/such/place.mkv"), std::string::npos) << error;
  othersGoOn();

  // The device that is always full: it opens, and every write fails.
  format = resolveRecordFormat("/dev/full.mkv", "ffv1").value();
  format.path = "/dev/full";
  ASSERT_EQ(startRecording(stage, format).message(), "");
  ASSERT_TRUE(waitFor([&] {
    stage.takeFrame(f.data(), 320, 240);
    std::lock_guard lock(m);
    return !reported.empty();
  }));
  {
    std::lock_guard lock(m);
    EXPECT_NE(reported.find("record: "), std::string::npos) << reported;
    EXPECT_NE(reported.find("No space left"), std::string::npos) << reported;
  }
  stage.removeBranch(kRecordBranch, std::chrono::seconds(2));
  othersGoOn();
}

}  // namespace
}  // namespace vz::test
