// SPDX-License-Identifier: GPL-3.0-or-later
// What source/ decides without a graph: the camera mode chosen and read from caps, the key a
// camera is known by, and device text cut for the dialog without splitting a character.
#include <gtest/gtest.h>

#include <string>

#include "source/camera_key.h"
#include "source/camera_modes.h"
#include "source/text_convert.h"

namespace vz {
namespace {

CameraMode raw(int w, int h, int fps, const char* format = "YUY2") {
  return {w, h, fps, 1, false, format};
}
CameraMode mjpeg(int w, int h, int fps) {
  return {w, h, fps, 1, true, ""};
}

TEST(CameraModes, ChoiceFollowsSizeRateAndEncodingRules) {
  // One row each: the modes on offer, the request, the place of the mode chosen, exactly.
  const auto row = [](const char* what, const std::vector<CameraMode>& modes, ModeRequest request,
                      size_t chosen, bool exact) {
    const ModeChoice choice = chooseCameraMode(modes, request);
    EXPECT_TRUE(choice.found) << what;
    EXPECT_EQ(choice.mode, modes[chosen]) << what << ": got " << describeMode(choice.mode);
    EXPECT_EQ(choice.exact, exact) << what;
  };
  row("largest smooth size within full HD",
      {raw(640, 480, 30), mjpeg(1920, 1080, 30), raw(3840, 2160, 30), raw(1280, 720, 30)}, {}, 1,
      true);
  row("a size too slow loses to a smaller smooth one",
      {raw(1920, 1080, 5), raw(1280, 720, 10), mjpeg(1280, 720, 30)}, {}, 2, true);
  row("same size: raw before MJPEG", {mjpeg(1280, 720, 60), raw(1280, 720, 25)}, {}, 1, true);
  row("same size and encoding: the higher rate", {raw(1280, 720, 25), raw(1280, 720, 30)}, {}, 1,
      true);
  row("nothing reaches 25 fps: fastest mode of the largest size",
      {raw(640, 480, 20), raw(1920, 1080, 5), mjpeg(1920, 1080, 15), raw(3840, 2160, 2)}, {}, 2,
      true);
  row("requested size and rate present",
      {raw(640, 480, 30), raw(1280, 720, 30), raw(1280, 720, 15)}, {1280, 720, 15}, 2, true);
  row("missing size: the nearest, at its best rate",
      {raw(640, 480, 30), raw(1280, 720, 30), raw(1280, 720, 10)}, {1200, 700, 0}, 1, false);
  row("rate only: kept at the default size, nearest rate",
      {raw(1280, 720, 30), raw(1280, 720, 60), raw(640, 480, 15)}, {0, 0, 50}, 1, false);
  row("requested rate ties: raw first", {mjpeg(640, 480, 30), raw(640, 480, 30)}, {640, 480, 30}, 1,
      true);
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

TEST(CameraKey, PrefersWhatSurvivesAReplug) {
  if (!gst_is_initialized()) gst_init(nullptr, nullptr);
  auto byId = [](const std::string& path) {
    return path == "/dev/video2" ? std::string("/dev/v4l/by-id/usb-Maker_Cam_1234-video-index0")
                                 : std::string();
  };
  const struct {
    const char* properties;
    const char* key;
  } cases[] = {
      {"pipewire-proplist, node.name=(string)v4l2_input.pci-0000_00_14.0-usb-0_1_1.0, "
       "api.v4l2.path=(string)/dev/video2",
       "pipewire:v4l2_input.pci-0000_00_14.0-usb-0_1_1.0"},
      {"v4l2deviceprovider, device.path=(string)/dev/video2, device.serial=(string)X1, "
       "v4l2.device.bus_info=(string)usb-0000:00:14.0-1",
       "v4l2:/dev/v4l/by-id/usb-Maker_Cam_1234-video-index0"},
      {"v4l2deviceprovider, device.path=(string)/dev/video0, device.serial=(string)X1, "
       "v4l2.device.bus_info=(string)usb-0000:00:14.0-1",
       "v4l2-serial:X1"},
      {"v4l2deviceprovider, device.path=(string)/dev/video0, device.serial=(string)\"\", "
       "v4l2.device.bus_info=(string)platform:vivid-000",
       "v4l2-bus:platform:vivid-000"},
      {"v4l2deviceprovider, device.path=(string)/dev/video5", "v4l2-node:/dev/video5"},
      {"other, name=(string)x", ""},
  };
  for (const auto& c : cases) {
    GstStructure* s = gst_structure_from_string(c.properties, nullptr);
    ASSERT_NE(s, nullptr) << c.properties;
    EXPECT_EQ(cameraKey(s, byId), c.key) << c.properties;
    gst_structure_free(s);
  }
  EXPECT_EQ(cameraKey(nullptr), "");
}

TEST(TextConvertTest, CutNeverSplitsACharacter) {
  EXPECT_EQ(cutUtf8("short", 79), "short");
  const std::string euro = "\xE2\x82\xAC";  // three bytes
  EXPECT_EQ(cutUtf8(euro + euro, 5), euro);
  EXPECT_EQ(cutUtf8(euro + euro, 6), euro + euro);
  EXPECT_EQ(cutUtf8(std::string(79, 'a') + "b", 79), std::string(79, 'a'));
  EXPECT_EQ(cutUtf8(euro, 2), "");
}

}  // namespace
}  // namespace vz
