// SPDX-License-Identifier: GPL-3.0-or-later
#include <atomic>
#include <chrono>
#include <thread>

#include "tests/media_fakes.h"

namespace vz::test {
namespace {

using namespace std::chrono_literals;

class GraphRebuildTest : public MediaTest {};

bool alive(GWeakRef& ref) {
  GObject* object = static_cast<GObject*>(g_weak_ref_get(&ref));
  if (object != nullptr) g_object_unref(object);
  return object != nullptr;
}

// Switching sources while frames flow, as often as a user ever could: every build must
// deliver, and every graph released is freed at once (nothing else may hold on to it: a
// message kept on its bus would, for instance). Leaks and races: the sanitizer builds.
TEST_F(GraphRebuildTest, TwoHundredSwitchesBetweenDeviceAndFileFreeEachGraphAtOnce) {
  devices.add({{"FriendlyName", "Cam"}}, testPattern(160, 120));
  setFileName(engine, clipPath("halves_mpeg1.mpg"));
  GWeakRef last;
  g_weak_ref_init(&last, nullptr);
  for (int i = 0; i < 200; ++i) {
    SCOPED_TRACE(i);
    const int before = recorder.frames.load();
    switchTo(i % 2);
    EXPECT_FALSE(alive(last));
    ASSERT_TRUE(recorder.waitFrames(before + 2));
    g_weak_ref_set(&last, graph.graph);
  }
  graph.stopAndRelease();
  EXPECT_FALSE(alive(last));
  g_weak_ref_clear(&last);
  EXPECT_EQ(boxes.shown.size(), 1u);  // the one device question
  EXPECT_EQ(graph.graph, nullptr);
}

// A device whose stream sleeps three seconds in its first buffer, deaf to the flush a stop
// sends: the stop still returns within about a second, no frame arrives, and the graph frees
// itself once the stream lets go.
TEST_F(GraphRebuildTest, StoppingASourceThatHangsReturnsWithinAboutASecond) {
  devices.add({{"Description", "hanging"}},
              testPattern(160, 120) + " ! identity name=hang sleep-time=3000000");
  switchTo(0);
  ASSERT_NE(graph.graph, nullptr);
  GstElement* hang = gst_bin_get_by_name(GST_BIN(graph.graph), "hang");
  ASSERT_NE(hang, nullptr);
  GWeakRef source;
  g_weak_ref_init(&source, hang);
  gst_object_unref(hang);
  std::this_thread::sleep_for(300ms);  // the first buffer is asleep in the stream by now

  const auto start = std::chrono::steady_clock::now();
  graph.stopAndRelease();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
  EXPECT_EQ(graph.graph, nullptr);
  EXPECT_TRUE(waitFor([&] { return !alive(source); }));
  g_weak_ref_clear(&source);
  EXPECT_EQ(recorder.frames.load(), 0);
}

}  // namespace
}  // namespace vz::test
