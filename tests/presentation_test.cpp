// The per-frame sequence behind the grabber callback, the hand-off to the GUI and the
// nearest-pixel stretch of the preview.
#include <gtest/gtest.h>

#include <vector>

#include "engine/engine_callback.h"
#include "engine/frame_mailbox.h"
#include "engine/stretch.h"
#include "tests/test_frames.h"

namespace vz::test {
namespace {

struct RecordingTarget : FrameTarget {
  const VideoEngine* engine = nullptr;
  std::vector<Frame> frames;
  std::vector<int> tintAtDelivery;
  void receiveFrame(const uint8_t* p, int w, int h) override {
    frames.emplace_back(p, p + static_cast<size_t>(w) * h * 3);
    tintAtDelivery.push_back(engine->tintRed);
  }
};

TEST(Presentation, SampleProcessesThenPresentsThenAnimates) {
  static VideoEngine e;
  e.colorCycle = 1;
  e.tintRed = 5;
  e.mode = 1;
  setUnity(e);
  RecordingTarget target;
  target.engine = &e;
  EngineCallback callback(e);
  callback.setTarget(&target);

  Frame f = randomFrame(4, 3, 1);
  Frame expected = f;
  e.processFrame(expected.data(), 4, 3);
  callback.SampleCB(f.data(), 4, 3);

  ASSERT_EQ(target.frames.size(), 1u);
  EXPECT_EQ(target.frames[0], expected);  // the processed frame, as processed in place
  EXPECT_EQ(f, expected);
  EXPECT_EQ(target.tintAtDelivery[0], 5);  // the animation step comes after the drawing
  EXPECT_EQ(e.tintRed, 6);

  callback.BufferCB(f.data(), static_cast<long>(f.size()));
  callback.setTarget(nullptr);
  callback.SampleCB(f.data(), 4, 3);  // undrawn, still processed and animated
  EXPECT_EQ(target.frames.size(), 1u);
  EXPECT_EQ(e.tintRed, 7);
}

TEST(Presentation, MailboxHandsOverTheNewestFrameAndAnnouncesItOnce) {
  int announced = 0;
  FrameMailbox box([&] { ++announced; });
  EXPECT_EQ(box.latest().pixels, nullptr);  // black until the first frame

  const Frame a = uniformFrame(2, 1, 1, 2, 3), b = uniformFrame(3, 2, 4, 5, 6);
  box.receiveFrame(a.data(), 2, 1);
  box.receiveFrame(b.data(), 3, 2);
  EXPECT_EQ(announced, 1);  // one repaint queued, however many frames came

  FrameMailbox::View v = box.latest();
  ASSERT_EQ(v.width, 3);
  ASSERT_EQ(v.height, 2);
  EXPECT_EQ(Frame(v.pixels, v.pixels + 18), b);
  v = box.latest();  // nothing new: the same frame again
  EXPECT_EQ(Frame(v.pixels, v.pixels + 18), b);

  box.receiveFrame(a.data(), 2, 1);
  EXPECT_EQ(announced, 2);
  v = box.latest();
  EXPECT_EQ(Frame(v.pixels, v.pixels + 6), a);
}

// A bottom-up frame whose pixel shows its picture coordinates (x in red, row from the top
// in green).
Frame coordinateFrame(int w, int h) {
  Frame f(static_cast<size_t>(w) * h * 3);
  for (int row = 0; row < h; ++row)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = f.data() + (static_cast<size_t>(row) * w + x) * 3;
      p[2] = static_cast<uint8_t>(x);
      p[1] = static_cast<uint8_t>(h - 1 - row);
      p[0] = 7;
    }
  return f;
}

// Doubling repeats pixels, other scales pick the nearest one, shrinking drops rows and
// columns; rows may be padded; the picture is drawn upright.
TEST(Presentation, StretchPicksTheNearestPixelAtAnyScale) {
  const int cases[][5] = {
      {72, 48, 144, 96, 144 * 3}, {32, 24, 72, 48, 72 * 3 + 5}, {32, 24, 5, 3, 15}};
  for (const auto& [sw, sh, w, h, stride] : cases) {
    const Frame src = coordinateFrame(sw, sh);
    std::vector<uint8_t> dst(static_cast<size_t>(stride) * h);
    stretchNearest(src.data(), sw, sh, dst.data(), w, h, stride);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const uint8_t* p = dst.data() + y * stride + x * 3;
        ASSERT_EQ(p[2], x * sw / w) << x << " of " << w;
        ASSERT_EQ(p[1], y * sh / h) << y << " of " << h;
        ASSERT_EQ(p[0], 7);
      }
  }
}

}  // namespace
}  // namespace vz::test
