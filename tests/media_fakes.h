// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Stand-ins around the media graph: test cameras, a frame recorder, and the graph with its
// engine and fakes for the user's answers and the devices.

#include <gst/gst.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/frame_target.h"
#include "engine/video_engine.h"
#include "source/capture_devices.h"
#include "source/media_graph.h"
#include "tests/child_process.h"
#include "tests/dialog_fakes.h"
#include "ui/message_boxes.h"

namespace vz::test {

// A capture device made of GStreamer's test source: its properties, and the pipeline
// description of what binding it yields (for example a live test pattern of a given size);
// binds counts how often it was bound.
struct TestDevice final : CaptureDevice {
  TestDevice(std::map<std::string, std::string> p, std::string description,
             std::shared_ptr<int> count)
      : properties(std::move(p)), pipeline(std::move(description)), binds(std::move(count)) {}

  bool readProperty(const std::string& name, std::string& value) const override {
    auto it = properties.find(name);
    if (it == properties.end()) return false;
    value = it->second;
    return true;
  }
  GstElement* bindToObject() override {
    ++*binds;
    GstElement* bin = gst_parse_bin_from_description(pipeline.c_str(), TRUE, nullptr);
    return bin != nullptr ? GST_ELEMENT(gst_object_ref_sink(bin)) : nullptr;
  }
  std::string key() const override {
    std::string k;
    readProperty("Key", k);
    return k;
  }

  std::map<std::string, std::string> properties;
  std::string pipeline;
  std::shared_ptr<int> binds;
};

// A live test pattern of width x height at 30 frames a second.
inline std::string testPattern(int width, int height, const char* extra = "") {
  return "videotestsrc is-live=true pattern=ball " + std::string(extra) +
         " ! capsfilter caps=\"video/x-raw,format=I420,width=" + std::to_string(width) +
         ",height=" + std::to_string(height) + ",framerate=30/1\"";
}

// Devices the test can change between builds; binds counts how often each was bound.
class TestDeviceList final : public DeviceList {
 public:
  std::vector<TestDevice> devices;
  std::vector<std::shared_ptr<int>> binds;

  void add(std::map<std::string, std::string> properties, std::string pipeline) {
    binds.push_back(std::make_shared<int>(0));
    devices.emplace_back(std::move(properties), std::move(pipeline), binds.back());
  }
  std::vector<std::unique_ptr<CaptureDevice>> videoInputDevices() override {
    std::vector<std::unique_ptr<CaptureDevice>> out;
    for (const TestDevice& d : devices) out.push_back(std::make_unique<TestDevice>(d));
    return out;
  }
  // Plugging: the device list changes first, then the listeners hear of it, as from a monitor.
  void addListener(DeviceListener* listener) override { listeners.push_back(listener); }
  void removeListener(DeviceListener* listener) override { std::erase(listeners, listener); }
  void plug(std::map<std::string, std::string> properties, std::string pipeline) {
    const std::string key = properties["Key"];
    add(std::move(properties), std::move(pipeline));
    for (DeviceListener* l : listeners) l->deviceAdded(key);
  }
  void unplug(size_t index) {
    const std::string key = devices[index].key();
    devices.erase(devices.begin() + static_cast<long>(index));
    binds.erase(binds.begin() + static_cast<long>(index));
    for (DeviceListener* l : listeners) l->deviceRemoved(key);
  }
  std::vector<DeviceListener*> listeners;
};

// Counts the frames the engine presents and keeps what the tests look at, without ever
// making the streaming thread wait.
class FrameRecorder final : public FrameTarget {
 public:
  static constexpr int kMaxSizes = 8;

  void receiveFrame(const uint8_t* pixels, int width, int height) override {
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    if (frames.load() == 0) firstAt.store(now);
    lastAt.store(now);
    lastWidth.store(width);
    lastHeight.store(height);
    // First and last row of the latest frame (bottom row first in memory).
    const size_t row = static_cast<size_t>(width) * 3;
    for (int c = 0; c < 3; ++c) {
      firstRow[c].store(pixels[c]);
      lastRow[c].store(pixels[row * (height - 1) + c]);
      lastRowEnd[c].store(pixels[row * height - 3 + c]);
    }
    if (distinctWidths.load() < kMaxSizes) {
      bool seen = false;
      for (int i = 0; i < distinctWidths.load(); ++i) seen |= widths[i].load() == width;
      if (!seen) widths[distinctWidths.fetch_add(1)].store(width);
    }
    afterClose.fetch_add(closed.load() ? 1 : 0);
    frames.fetch_add(1);
  }

  bool waitFrames(int n, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    return test::waitFor([&] { return frames.load() >= n; }, timeout);
  }
  double seconds() const { return (lastAt.load() - firstAt.load()) * 1e-9; }
  // The latest frame's width once n frames have come (0 when they did not).
  int widthAfter(int n) { return waitFrames(n) ? lastWidth.load() : 0; }
  // The latest frame's first and last rows are black.
  bool black() const {
    int sum = 0;
    for (int c = 0; c < 3; ++c) sum += firstRow[c].load() + lastRow[c].load();
    return sum == 0;
  }

  std::atomic<int> frames{0};
  std::atomic<int64_t> firstAt{0}, lastAt{0};
  std::atomic<int> lastWidth{0}, lastHeight{0};
  std::atomic<uint8_t> firstRow[3]{}, lastRow[3]{}, lastRowEnd[3]{};
  std::atomic<int> widths[kMaxSizes]{};
  std::atomic<int> distinctWidths{0};
  std::atomic<bool> closed{false};  // set by a test once delivery must have ended
  std::atomic<int> afterClose{0};
};

// The folder the build writes the test clips into.
inline std::string clipPath(const std::string& name) {
  return std::string(VZ_TEST_CLIP_DIR) + "/" + name;
}

inline void setFileName(VideoEngine& engine, const std::string& path) {
  engine.fileName = path;
}

// The engine, the graph beside it and fakes for the user's answers and the devices.
class MediaTest : public ::testing::Test {
 protected:
  ~MediaTest() override { graph.releaseGraph(); }

  // The calling order of every source command.
  void switchTo(int sourceIsFile) {
    graph.stopAndRelease();
    engine.sourceIsFile = sourceIsFile;
    graph.startSource(&recorder);
    graph.run();
  }
  void playFile(const std::string& path) {
    setFileName(engine, path);
    switchTo(1);
  }

  VideoEngine engine;
  ScriptedBoxes boxes;
  TestDeviceList devices;
  FrameRecorder recorder;
  MediaGraph graph{engine, boxes, devices};
};

}  // namespace vz::test
