// SPDX-License-Identifier: GPL-3.0-or-later
// The per-frame sequence behind the grabber callback, the hand-off to the GUI and the
// nearest-pixel stretch of the preview.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "engine/engine_callback.h"
#include "engine/frame_mailbox.h"
#include "engine/stretch.h"
#include "tests/reference_stretch.h"
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
  e.colorCycle = 1, e.tintRed = 5, e.mode = 1;
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

// The 32-bit stretch against the first 24-bit one, pixel for pixel, whole and in parts, over
// growing, shrinking, odd and equal sizes; the reference itself picks by coordinates.
TEST(Presentation, StretchMatchesTheReferenceAtAnyScaleAndInAnyPart) {
  const struct {
    int srcW, srcH, dstW, dstH;
    NearestStretch::Area area;  // empty: the whole destination
  } cases[] = {{72, 48, 144, 96, {}},
               {32, 24, 72, 48, {}},
               {32, 24, 5, 3, {}},
               {385, 289, 1024, 768, {}},
               {7, 5, 7, 5, {}},
               {1, 1, 9, 4, {}},
               {720, 480, 1920, 1080, {}},
               {1920, 1080, 1280, 720, {}},
               {385, 289, 800, 600, {13, 7, 390, 501}},
               {64, 48, 100, 90, {-5, 80, 200, 95}},
               {640, 480, 640, 480, {639, 0, 640, 480}},
               {385, 289, 770, 578, {3, 5, 700, 300}},
               {385, 289, 770, 578, {}},
               {99, 7, 99, 7, {5, 1, 90, 6}}};
  NearestStretch stretch;  // one object throughout: its column table follows the sizes
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.srcW << "x" << c.srcH << " to " << c.dstW << "x" << c.dstH);
    const Frame src = randomFrame(c.srcW, c.srcH, static_cast<uint32_t>(c.dstW));
    Frame expected(static_cast<size_t>(c.dstW) * c.dstH * 3);
    referenceStretch(src.data(), c.srcW, c.srcH, expected.data(), c.dstW, c.dstH, c.dstW * 3);
    const int stride = c.dstW + 3;  // padded destination rows, in pixels
    std::vector<uint32_t> dst(static_cast<size_t>(stride) * c.dstH, 0x12345678u);
    NearestStretch::Area area = c.area;
    if (area.right == 0) area = {0, 0, c.dstW, c.dstH};
    const int left = std::max(area.left, 0), top = std::max(area.top, 0);
    stretch.draw(src.data(), c.srcW, c.srcH, c.dstW, c.dstH, area, dst.data() + top * stride + left,
                 stride * 4);
    for (int y = 0; y < c.dstH; ++y)
      for (int x = 0; x < stride; ++x) {
        const uint32_t got = dst[static_cast<size_t>(y) * stride + x];
        if (x >= c.dstW || x < area.left || x >= area.right || y < area.top || y >= area.bottom) {
          ASSERT_EQ(got, 0x12345678u) << x << "," << y;  // outside the part: untouched
          continue;
        }
        const uint8_t* e = expected.data() + (static_cast<size_t>(y) * c.dstW + x) * 3;
        ASSERT_EQ(got, 0xff000000u | e[2] << 16 | e[1] << 8 | e[0]) << x << "," << y;
      }
  }
  // Upright and nearest: a frame whose pixels hold their own coordinates.
  Frame coords(32 * 24 * 3);
  for (int row = 0; row < 24; ++row)
    for (int x = 0; x < 32; ++x) {
      coords[(row * 32 + x) * 3 + 2] = static_cast<uint8_t>(x);
      coords[(row * 32 + x) * 3 + 1] = static_cast<uint8_t>(23 - row);  // bottom row first
    }
  Frame out(72 * 48 * 3);
  referenceStretch(coords.data(), 32, 24, out.data(), 72, 48, 72 * 3);
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 72; ++x) {
      ASSERT_EQ(out[(y * 72 + x) * 3 + 2], x * 32 / 72);
      ASSERT_EQ(out[(y * 72 + x) * 3 + 1], y * 24 / 48);
    }
}

}  // namespace
}  // namespace vz::test
