#include <atomic>
#include <chrono>
#include <thread>

#include "tests/media_fixture.h"

namespace vz::test {
namespace {

using namespace std::chrono_literals;

class GraphRebuildTest : public MediaTest {};

// Switching sources while frames flow, as often as a user ever could: every build must
// deliver, every teardown must finish. Leaks and races are for the sanitizer builds.
TEST_F(GraphRebuildTest, TwoHundredSwitchesBetweenDeviceAndFile) {
  devices.add({{"FriendlyName", "Cam"}}, testPattern(160, 120));
  setFileName(engine, clipPath("halves_mpeg1.mpg"));
  for (int i = 0; i < 200; ++i) {
    SCOPED_TRACE(i);
    const int before = recorder.frames.load();
    switchTo(i % 2);
    ASSERT_TRUE(recorder.waitFrames(before + 1));
  }
  graph.stopAndRelease();
  EXPECT_EQ(boxes.shown.size(), 1u);  // the one device question
  EXPECT_EQ(graph.graph, nullptr);
}

bool alive(GWeakRef& ref) {
  GObject* object = static_cast<GObject*>(g_weak_ref_get(&ref));
  if (object != nullptr) g_object_unref(object);
  return object != nullptr;
}

// Nothing else may hold on to a graph once it is released (a message kept on its bus
// would, for instance).
TEST_F(GraphRebuildTest, ReleasedGraphIsFreedAtOnce) {
  devices.add({{"FriendlyName", "Cam"}}, testPattern(160, 120));
  setFileName(engine, clipPath("halves_mpeg1.mpg"));
  for (int file : {0, 1}) {
    SCOPED_TRACE(file);
    const int before = recorder.frames.load();
    switchTo(file);
    ASSERT_TRUE(recorder.waitFrames(before + 2));
    GWeakRef pipeline;
    g_weak_ref_init(&pipeline, graph.graph);
    graph.stopAndRelease();
    EXPECT_FALSE(alive(pipeline));
    g_weak_ref_clear(&pipeline);
  }
}

// A device whose stream hangs: its streaming thread blocks until the test lets it go,
// and ignores the flush that a stop sends.
class HangingDevice final : public CaptureDevice {
 public:
  std::atomic<bool> released{false};
  std::atomic<int> hung{0};
  GWeakRef source;

  HangingDevice() { g_weak_ref_init(&source, nullptr); }
  ~HangingDevice() override { g_weak_ref_clear(&source); }

  bool readProperty(const std::string& name, std::string& value) const override {
    if (name != "Description") return false;
    value = "hanging";
    return true;
  }
  GstElement* bindToObject() override {
    GstElement* bin = gst_parse_bin_from_description(testPattern(160, 120).c_str(), TRUE, nullptr);
    GstPad* pad = gst_element_get_static_pad(bin, "src");
    gst_pad_add_probe(
        pad, GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad*, GstPadProbeInfo*, gpointer data) {
          auto* self = static_cast<HangingDevice*>(data);
          self->hung.fetch_add(1);
          self->released.wait(false);
          return GST_PAD_PROBE_OK;
        },
        this, nullptr);
    gst_object_unref(pad);
    g_weak_ref_set(&source, bin);
    return GST_ELEMENT(gst_object_ref_sink(bin));
  }
};

class HangingDeviceList final : public DeviceList {
 public:
  HangingDevice* device = nullptr;
  std::vector<std::unique_ptr<CaptureDevice>> videoInputDevices() override {
    auto d = std::make_unique<HangingDevice>();
    device = d.get();
    kept.push_back(std::move(d));
    std::vector<std::unique_ptr<CaptureDevice>> out;
    out.push_back(std::make_unique<Forward>(*device));
    return out;
  }

 private:
  // The device outlives the list the graph is handed, so the probe's pointer stays valid.
  struct Forward final : CaptureDevice {
    explicit Forward(HangingDevice& d) : d(d) {}
    bool readProperty(const std::string& n, std::string& v) const override {
      return d.readProperty(n, v);
    }
    GstElement* bindToObject() override { return d.bindToObject(); }
    HangingDevice& d;
  };
  std::vector<std::unique_ptr<HangingDevice>> kept;
};

TEST(GraphStopTest, StoppingASourceThatHangsReturnsWithinAboutASecond) {
  VideoEngine engine;
  ScriptedBoxes boxes;
  HangingDeviceList devices;
  FrameRecorder recorder;
  {
    MediaGraph graph(engine, boxes, devices);
    graph.startSource(&recorder);
    graph.run();
    HangingDevice& device = *devices.device;
    ASSERT_TRUE(recorder.waitFor([&] { return device.hung.load() > 0; }));

    const auto start = std::chrono::steady_clock::now();
    graph.stopAndRelease();
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, 2s);
    EXPECT_EQ(graph.graph, nullptr);

    // Let the stream go: the graph then finishes stopping and frees itself.
    device.released = true;
    device.released.notify_all();
    EXPECT_TRUE(recorder.waitFor([&] { return !alive(device.source); }));
  }
  EXPECT_EQ(recorder.frames.load(), 0);
}

}  // namespace
}  // namespace vz::test
