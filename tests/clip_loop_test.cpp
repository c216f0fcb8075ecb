// SPDX-License-Identifier: GPL-3.0-or-later
// Clips loop at their end through the program's file graph, with no gap on the clock.

#include <mutex>
#include <vector>

#include "tests/media_fakes.h"

namespace vz::test {
namespace {

using namespace std::chrono_literals;

// Every frame that enters the grabber: when it is due on the pipeline's clock, whatever the
// wall clock did meanwhile (its running time: its timestamp through the segment it arrives in,
// which carries whatever offset the loop adds), and where in the clip it stands (stream time).
class DueTimes {
 public:
  struct Frame {
    GstClockTime due, position;
  };
  void attach(GstElement* grabber) {
    {
      std::lock_guard lock(mutex_);
      frames_.clear();
    }
    GstPad* pad = gst_element_get_static_pad(grabber, "sink");
    gst_pad_add_probe(
        pad, GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
        &DueTimes::onData, this, nullptr);
    gst_object_unref(pad);
  }
  std::vector<Frame> frames() {
    std::lock_guard lock(mutex_);
    return frames_;
  }

 private:
  static GstPadProbeReturn onData(GstPad*, GstPadProbeInfo* info, gpointer data) {
    auto& self = *static_cast<DueTimes*>(data);
    std::lock_guard lock(self.mutex_);
    if (info->type & GST_PAD_PROBE_TYPE_BUFFER) {
      const GstClockTime pts = GST_BUFFER_PTS(GST_PAD_PROBE_INFO_BUFFER(info));
      self.frames_.push_back({gst_segment_to_running_time(&self.segment_, GST_FORMAT_TIME, pts),
                              gst_segment_to_stream_time(&self.segment_, GST_FORMAT_TIME, pts)});
    } else if (GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) == GST_EVENT_SEGMENT) {
      gst_event_copy_segment(GST_PAD_PROBE_INFO_EVENT(info), &self.segment_);
    }
    return GST_PAD_PROBE_OK;
  }

  std::mutex mutex_;
  GstSegment segment_{};
  std::vector<Frame> frames_;
};

class ClipLoopTest : public MediaTest {
 protected:
  ~ClipLoopTest() override { graph.releaseGraph(); }  // before the probe's target goes
  void play(const std::string& clip, bool loop) {
    graph.stopAndRelease();
    graph.setLoopClips(loop);
    setFileName(engine, clipPath(clip));
    engine.sourceIsFile = 1;
    graph.startSource(&recorder);
    due.attach(graph.grabberFilter);
    graph.run();
  }
  DueTimes due;
};

constexpr GstClockTime kInterval = GST_SECOND / 25;

// Ten frames at 25 fps: each restart's first frame is due one frame after the last one,
// across two restarts at least, in every container.
TEST_F(ClipLoopTest, ClipsRestartWithoutAGapOnTheClock) {
  for (const char* clip : {"loop_mpeg2.mpg", "loop_h264.mp4", "loop_vp8.mkv"}) {
    SCOPED_TRACE(clip);
    play(clip, true);
    // Two passes and the start of a third.
    ASSERT_TRUE(waitFor([&] { return due.frames().size() >= 23; }, 20s));
    EXPECT_GE(graph.clipLoops(), 2);
    const std::vector<DueTimes::Frame> f = due.frames();
    for (size_t i = 1; i < f.size(); ++i) {
      ASSERT_TRUE(GST_CLOCK_TIME_IS_VALID(f[i].due)) << "frame " << i;
      EXPECT_GT(f[i].due, f[i - 1].due) << "frame " << i;
      EXPECT_LE(f[i].due - f[i - 1].due, kInterval + GST_MSECOND) << "frame " << i;
    }
    EXPECT_EQ(recorder.lastWidth.load(), 320);
    EXPECT_EQ(recorder.lastHeight.load(), 240);
  }
}

// Looping off, or a clip of one frame: the last frame stays and nothing restarts. Looping
// turned on again plays the held clip from its start.
TEST_F(ClipLoopTest, WithoutLoopingTheLastFrameIsHeld) {
  for (const auto& [clip, loop, frames] : {std::tuple{"loop_mpeg2.mpg", false, 10},
                                           {"loop_h264.mp4", false, 10},
                                           {"one_frame.mpg", true, 1}}) {
    SCOPED_TRACE(clip);
    recorder.frames = 0;
    play(clip, loop);
    ASSERT_TRUE(recorder.waitFrames(frames));
    std::this_thread::sleep_for(800ms);
    EXPECT_EQ(recorder.frames.load(), frames);
    EXPECT_EQ(graph.clipLoops(), 0);
    if (loop) continue;
    graph.setLoopClips(true);
    EXPECT_TRUE(recorder.waitFrames(frames + 12));
    // From its start, and the first frame shows for a whole frame: it is due one frame after
    // the restart, as after a loop. (Due at once, the second one replaced it on arrival.)
    const std::vector<DueTimes::Frame> f = due.frames();
    ASSERT_GT(f.size(), static_cast<size_t>(frames + 1));
    EXPECT_EQ(f[frames].position, f[0].position);
    EXPECT_EQ(f[frames + 1].position, f[1].position);
    EXPECT_NEAR(static_cast<double>(f[frames].due), static_cast<double>(kInterval), GST_MSECOND);
  }
}

}  // namespace
}  // namespace vz::test
