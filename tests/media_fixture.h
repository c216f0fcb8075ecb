// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "engine/video_engine.h"
#include "source/media_graph.h"
#include "tests/media_fakes.h"

namespace vz::test {

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
