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

// UTF-8 into the engine's wide fileName, cut to fit.
inline void setFileName(VideoEngine& engine, const std::string& utf8) {
  size_t n = 0;
  for (size_t i = 0; i < utf8.size() && n + 1 < kFileNameChars;) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    const int len = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    uint32_t c = len == 1 ? b : b & (0x3F >> (len - 1));
    for (int k = 1; k < len && i + k < utf8.size(); ++k) c = (c << 6) | (utf8[i + k] & 0x3F);
    engine.fileName[n++] = static_cast<wchar_t>(c);
    i += len;
  }
  engine.fileName[n] = 0;
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
