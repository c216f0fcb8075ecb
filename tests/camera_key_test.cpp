// SPDX-License-Identifier: GPL-3.0-or-later
#include "source/camera_key.h"

#include <gtest/gtest.h>

namespace vz {
namespace {

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

}  // namespace
}  // namespace vz
