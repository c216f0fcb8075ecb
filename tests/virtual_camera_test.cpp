// The virtual camera on a private PipeWire: listed as a camera, readable by node name with
// frames of the engine's look, never offered back to the program.
#include <gst/gst.h>
#include <gtest/gtest.h>

#include "output/camera_target.h"
#include "source/capture_devices.h"
#include "tests/filtered_clip.h"
#include "tests/private_pipewire.h"

namespace vz::test {
namespace {

namespace fs = std::filesystem;

TEST(VirtualCamera, OnAPrivatePipeWireItIsAReadableCameraThatIsNeverOfferedBack) {
  PrivatePipeWire pw;
  ASSERT_TRUE(pw.ok()) << pw.error();
  const fs::path dir = fs::path(pw.runtimeDir()) / "work";
  fs::create_directories(dir);
  const FilteredClip look(dir, 30);
  Child program({VZ_PROGRAM_PATH, "--bank", look.bank.string(), "--preset", "C", "--virtual-camera",
                 "pipewire", look.clip.string()},
                (dir / "program.log").string(), programEnvironment(dir));

  // Listed as a camera.
  std::string listed;
  for (int i = 0; i < 20 && listed.find("videozarnix") == std::string::npos; ++i) {
    usleep(250000);
    listed = runCommand("timeout 10 gst-device-monitor-1.0 Video/Source");
  }
  EXPECT_NE(listed.find("node.name = videozarnix"), std::string::npos) << listed;
  EXPECT_NE(listed.find("media.role = Camera"), std::string::npos) << listed;
  EXPECT_NE(listed.find("name  : Video Zarnix"), std::string::npos) << listed;

  // Read with fixed caps and a deadline; a reader with no frame in 10 s is started once more.
  const fs::path got = dir / "read.bgr";
  std::string reader, read;
  for (int attempt = 0; attempt < 2 && read.size() < FilteredClip::kFrameBytes; ++attempt) {
    reader += runCommand(
        "timeout 10 gst-launch-1.0 -q pipewiresrc target-object=videozarnix num-buffers=5 ! "
        "video/x-raw,format=I420,width=320,height=240 ! videoconvert ! video/x-raw,format=BGR ! "
        "filesink location=" +
        got.string());
    read = readFile(got);
  }
  const std::string& ref = look.referenceFrame;
  ASSERT_EQ(ref.size(), FilteredClip::kFrameBytes);
  ASSERT_GE(read.size(), ref.size()) << reader << readFile(dir / "program.log");
  // The last frame read, within the error of converting to 4:2:0 and back (flat areas).
  const size_t last = (read.size() / ref.size() - 1) * ref.size();
  long total = 0;
  for (size_t i = 0; i < ref.size(); ++i)
    total += std::abs(static_cast<int>(static_cast<uint8_t>(read[last + i])) -
                      static_cast<uint8_t>(ref[i]));
  EXPECT_LT(static_cast<double>(total) / ref.size(), 6.0);

  // Our own device list leaves it out.
  gst_init(nullptr, nullptr);
  MonitorDeviceList devices;
  for (const auto& d : devices.videoInputDevices()) {
    std::string name;
    d->readProperty("FriendlyName", name);
    EXPECT_NE(name, "Video Zarnix");
  }
}

TEST(VirtualCamera, WithoutABackEndTheProgramRefusesAtStartUp) {
  const ScratchDir runtime("vz-no-pipewire");
  const std::string out =
      runCommand("env XDG_RUNTIME_DIR=" + runtime.string() + " QT_QPA_PLATFORM=offscreen " +
                 VZ_PROGRAM_PATH + " --virtual-camera pipewire; echo status=$?");
  EXPECT_NE(out.find("videozarnix: no PipeWire daemon answers"), std::string::npos) << out;
  EXPECT_NE(out.find("status=2"), std::string::npos) << out;
  const std::string device = runCommand(std::string(VZ_PROGRAM_PATH) +
                                        " --virtual-camera /dev/null-camera; echo status=$?");
  EXPECT_NE(device.find("not a video device"), std::string::npos) << device;
  EXPECT_NE(device.find("status=2"), std::string::npos) << device;
}

}  // namespace
}  // namespace vz::test
