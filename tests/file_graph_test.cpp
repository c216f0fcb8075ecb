// SPDX-License-Identifier: GPL-3.0-or-later
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "engine/effect_mode.h"
#include "engine/shared_value.h"
#include "tests/media_fakes.h"

namespace vz::test {
namespace {

using namespace std::chrono_literals;

// Bytes B,G,R of a pixel, approximately the colour after MPEG coding.
void expectColour(const std::atomic<uint8_t> (&px)[3], int b, int g, int r, const char* what) {
  EXPECT_NEAR(px[0].load(), b, 40) << what;
  EXPECT_NEAR(px[1].load(), g, 40) << what;
  EXPECT_NEAR(px[2].load(), r, 40) << what;
}

class FileGraphTest : public MediaTest {
 protected:
  // Frames stop arriving: the count holds still for a while.
  void waitUntilFramesStop() {
    int before = -1;
    while (before != recorder.frames.load()) {
      before = recorder.frames.load();
      std::this_thread::sleep_for(400ms);
    }
  }
};

// 322 wide: 24-bit rows carry two filler bytes, which must not reach the engine. Red top,
// blue bottom: the engine's row 0 is the bottom of the picture. Timed clips play 45 frames
// at 25 a second: the null renderer keeps time, so they take nearly two seconds.
TEST_F(FileGraphTest, ClipsArrivePackedBottomRowFirstAtTheirFrameRate) {
  for (const auto& [clip, timed] : {std::pair{"halves_mpeg1.mpg", true},
                                    {"halves_mpeg2.mpg", false},
                                    {"with_audio.mpg", true},
                                    {"non_ascii_é_日本.mpg", false}}) {
    SCOPED_TRACE(clip);
    recorder.frames = 0;
    playFile(clipPath(clip));
    ASSERT_TRUE(recorder.waitFrames(timed ? 45 : 5, 20s));
    EXPECT_GE(recorder.seconds(), timed ? 0.8 * 44 / 25.0 : 0.0);
    EXPECT_EQ(recorder.lastWidth.load(), 322);
    EXPECT_EQ(recorder.lastHeight.load(), 240);
    expectColour(recorder.firstRow, 255, 0, 0, "bottom row, first in memory: blue");
    expectColour(recorder.lastRow, 0, 0, 255, "top row, start: red");
    expectColour(recorder.lastRowEnd, 0, 0, 255, "top row, end: red");
    EXPECT_TRUE(graph.mediaType.bitCount == 0 || graph.mediaType.bitCount == 24);
  }
  // Frames are processed in place with the live settings.
  storeRelaxed(engine.mode, static_cast<uint8_t>(EffectMode::Negative));
  ASSERT_TRUE(recorder.waitFrames(recorder.frames.load() + 3));
  expectColour(recorder.firstRow, 0, 255, 255, "blue, negated");
  expectColour(recorder.lastRow, 255, 255, 0, "red, negated");
}

// An unplayable file shows black (stand-in frames), never a stale or partial picture; a
// named pipe is never opened, so it cannot hold the thread that builds the graph.
TEST_F(FileGraphTest, UnplayableFilesShowBlackAndTheNextSourceWorks) {
  const std::string pipe = testing::TempDir() + "vz-graph-pipe-" + std::to_string(::getpid());
  ::mkfifo(pipe.c_str(), 0600);
  for (const std::string& path :
       {std::string(), clipPath("no_such_file.mpg"), clipPath("garbage.mpg"), pipe}) {
    SCOPED_TRACE(path);
    recorder.frames = 0;
    playFile(path);
    std::this_thread::sleep_for(300ms);
    for (int c = 0; c < 3; ++c)
      EXPECT_EQ(recorder.firstRow[c].load() | recorder.lastRow[c].load(), 0);
    EXPECT_TRUE(boxes.shown.empty());
    playFile(clipPath("halves_mpeg2.mpg"));
    EXPECT_TRUE(recorder.waitFrames(3));
  }
  ::unlink(pipe.c_str());
}

TEST_F(FileGraphTest, TruncatedFilePlaysUpToTheCutThenStops) {
  graph.setLoopClips(false);
  playFile(clipPath("truncated.mpg"));
  ASSERT_TRUE(recorder.waitFrames(3));
  waitUntilFramesStop();
  EXPECT_LT(recorder.frames.load(), 50);
  graph.stopAndRelease();
}

// The second half of the stream is 640x480: every frame must be taken at its own size.
TEST_F(FileGraphTest, PictureSizeChangingMidStreamIsFollowed) {
  playFile(clipPath("size_change.mpg"));
  ASSERT_TRUE(waitFor([&] { return recorder.distinctWidths.load() >= 2; }, 20s));
  EXPECT_EQ(recorder.widths[0].load(), 322);
  EXPECT_EQ(recorder.widths[1].load(), 640);
}

// Either way of ending a graph: a stop first, or the close path's release alone.
TEST_F(FileGraphTest, NoFrameIsDeliveredAfterTeardownReturns) {
  for (bool stopFirst : {true, false}) {
    recorder.closed = false;
    recorder.frames = 0;
    playFile(clipPath("halves_mpeg1.mpg"));
    ASSERT_TRUE(recorder.waitFrames(2));
    stopFirst ? graph.stopAndRelease() : graph.releaseGraph();
    recorder.closed = true;
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(recorder.afterClose.load(), 0);
    EXPECT_EQ(graph.graph, nullptr);
  }
}

// Every codec and container users bring reaches the engine upright at its own size.
TEST_F(FileGraphTest, ClipsOfEveryUsualFormatPlayUpright) {
  const struct {
    const char* clip;
    int width, height;
  } cases[] = {{"fmt_h264.mp4", 320, 240},  {"fmt_hevc.mkv", 320, 240},
               {"fmt_vp8.webm", 320, 240},  {"fmt_vp9.webm", 320, 240},
               {"fmt_av1.mkv", 320, 240},   {"fmt_prores.mov", 320, 240},
               {"fmt_mjpeg.avi", 320, 240}, {"fmt_ffv1.mkv", 320, 240},
               {"fmt_mpeg4.avi", 320, 240}, {"fmt_dnxhd.mov", 1920, 1080}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.clip);
    recorder.frames = 0;
    playFile(clipPath(c.clip));
    ASSERT_TRUE(recorder.waitFrames(3, 30s));  // sanitizer builds decode 1080p slowly
    EXPECT_EQ(recorder.lastWidth.load(), c.width);
    EXPECT_EQ(recorder.lastHeight.load(), c.height);
    expectColour(recorder.firstRow, 255, 0, 0, "bottom row, first in memory: blue");
    expectColour(recorder.lastRow, 0, 0, 255, "top row: red");
  }
}

// A photo plays as a steady picture: 30 frames a second for as long as it is the source.
TEST_F(FileGraphTest, StillPicturesPlayAsASteadyStream) {
  for (const char* still : {"halves.png", "halves.jpg"}) {
    SCOPED_TRACE(still);
    recorder.frames = 0;
    playFile(clipPath(still));
    ASSERT_TRUE(recorder.waitFrames(31, 10s));
    EXPECT_GE(recorder.seconds(), 0.8 * 30 / 30.0);  // in time with the clock, not at once
    EXPECT_EQ(recorder.lastWidth.load(), 322);
    expectColour(recorder.firstRow, 255, 0, 0, "bottom row, first in memory: blue");
    expectColour(recorder.lastRow, 0, 0, 255, "top row: red");
  }
}

}  // namespace
}  // namespace vz::test
