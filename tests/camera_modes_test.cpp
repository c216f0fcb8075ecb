// SPDX-License-Identifier: GPL-3.0-or-later
#include "source/camera_modes.h"

#include <gtest/gtest.h>

namespace vz {
namespace {

CameraMode raw(int w, int h, int fps, const char* format = "YUY2") {
  return {w, h, fps, 1, false, format};
}
CameraMode mjpeg(int w, int h, int fps) {
  return {w, h, fps, 1, true, ""};
}

TEST(CameraModes, ChoiceFollowsSizeRateAndEncodingRules) {
  struct Case {
    const char* what;
    std::vector<CameraMode> modes;
    ModeRequest request;
    CameraMode expected;
    bool exact;
  };
  const std::vector<Case> cases = {
      {"largest smooth size within full HD",
       {raw(640, 480, 30), mjpeg(1920, 1080, 30), raw(3840, 2160, 30), raw(1280, 720, 30)},
       {},
       mjpeg(1920, 1080, 30),
       true},
      {"a size too slow loses to a smaller smooth one",
       {raw(1920, 1080, 5), raw(1280, 720, 10), mjpeg(1280, 720, 30)},
       {},
       mjpeg(1280, 720, 30),
       true},
      {"same size: raw before MJPEG",
       {mjpeg(1280, 720, 60), raw(1280, 720, 25)},
       {},
       raw(1280, 720, 25),
       true},
      {"same size and encoding: the higher rate",
       {raw(1280, 720, 25), raw(1280, 720, 30)},
       {},
       raw(1280, 720, 30),
       true},
      {"nothing reaches 25 fps: fastest mode of the largest size",
       {raw(640, 480, 20), raw(1920, 1080, 5), mjpeg(1920, 1080, 15), raw(3840, 2160, 2)},
       {},
       mjpeg(1920, 1080, 15),
       true},
      {"requested size and rate present",
       {raw(640, 480, 30), raw(1280, 720, 30), raw(1280, 720, 15)},
       {1280, 720, 15},
       raw(1280, 720, 15),
       true},
      {"missing size: the nearest, at its best rate",
       {raw(640, 480, 30), raw(1280, 720, 30), raw(1280, 720, 10)},
       {1200, 700, 0},
       raw(1280, 720, 30),
       false},
      {"rate only: kept at the default size, nearest rate",
       {raw(1280, 720, 30), raw(1280, 720, 60), raw(640, 480, 15)},
       {0, 0, 50},
       raw(1280, 720, 60),
       false},
      {"requested rate ties: raw first",
       {mjpeg(640, 480, 30), raw(640, 480, 30)},
       {640, 480, 30},
       raw(640, 480, 30),
       true},
  };
  for (const Case& c : cases) {
    const ModeChoice choice = chooseCameraMode(c.modes, c.request);
    EXPECT_TRUE(choice.found) << c.what;
    EXPECT_EQ(choice.mode, c.expected) << c.what << ": got " << describeMode(choice.mode);
    EXPECT_EQ(choice.exact, c.exact) << c.what;
  }
  EXPECT_FALSE(chooseCameraMode({}).found);
}

TEST(CameraModes, ReadFromDeviceCaps) {
  if (!gst_is_initialized()) gst_init(nullptr, nullptr);
  GstCaps* caps = gst_caps_from_string(
      "video/x-raw, format=(string){ YUY2, NV12 }, width=(int)640, height=(int)480, "
      "framerate=(fraction){ 30/1, 15/1 }; "
      "image/jpeg, width=(int)1280, height=(int)720, framerate=(fraction)[ 5/1, 60/1 ]; "
      "video/x-raw(memory:DMABuf), format=(string)NV12, width=(int)1920, height=(int)1080; "
      "video/x-h264, width=(int)1920, height=(int)1080, framerate=(fraction)30/1; "
      "video/x-raw, format=(string)BGRx, width=(int)[ 1, 4096 ], height=(int)[ 1, 4096 ], "
      "framerate=(fraction)0/1");
  const std::vector<CameraMode> modes = cameraModesFromCaps(caps);
  gst_caps_unref(caps);
  const std::vector<CameraMode> expected = {raw(640, 480, 30),
                                            raw(640, 480, 15),
                                            mjpeg(1280, 720, 60),
                                            {1920, 1080, 0, 1, false, "BGRx"}};
  EXPECT_EQ(modes, expected);

  GstCaps* fixed = capsForMode(mjpeg(1280, 720, 60));
  gchar* text = gst_caps_to_string(fixed);
  EXPECT_STREQ(text, "image/jpeg, width=(int)1280, height=(int)720, framerate=(fraction)60/1");
  g_free(text);
  gst_caps_unref(fixed);
}

}  // namespace
}  // namespace vz
