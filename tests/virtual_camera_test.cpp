// SPDX-License-Identifier: GPL-3.0-or-later
// The virtual camera on a private PipeWire: listed as a camera, read by node name in the
// formats, sizes and rates readers ask for with frames of the engine's look, never offered
// back to the program, and back by itself after its daemon was gone.
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <thread>
#include <vector>

#include "output/camera_target.h"
#include "source/capture_devices.h"
#include "tests/filtered_clip.h"
#include "tests/private_pipewire.h"

namespace vz::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// What one reader of the camera, in a process of its own, negotiated and wrote.
struct Reading {
  std::string caps;  // as the reader's source pad states them
  std::string frames;
  std::string log;
};

Reading readCamera(const fs::path& dir, const std::string& caps, int buffers = 5) {
  const fs::path out = dir / "read.raw";
  fs::remove(out);
  Reading r;
  r.log = shell("timeout 10 gst-launch-1.0 -v pipewiresrc target-object=" +
                std::string(kCameraNodeName) + " num-buffers=" + std::to_string(buffers) + " ! " +
                caps + " ! filesink location=" + out.string())
              .out;
  const std::string tag = "pipewiresrc0.GstPad:src: caps = ";
  if (const size_t at = r.log.find(tag); at != std::string::npos)
    r.caps = r.log.substr(at + tag.size(), r.log.find('\n', at) - at - tag.size());
  r.frames = readFile(out);
  return r;
}

// A reader asking for YUY2 at 640x480 gets its frames (at the second try at the latest).
bool readableAsYuy2(const fs::path& dir) {
  return withOneRetry(
      [&] {
        return readCamera(dir, "video/x-raw,format=YUY2,width=640,height=480").frames.size() >=
               640u * 480 * 2;
      },
      [] {});
}

// One raw frame run through a GStreamer tail (raw video in, bytes out).
std::string convertFrame(const fs::path& dir, const std::string& frame, std::string format,
                         int width, int height, const std::string& tail) {
  std::transform(format.begin(), format.end(), format.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  const std::string in = writeFile(dir / "frame.raw", frame);
  const fs::path out = dir / "converted.raw";
  shell("gst-launch-1.0 -q filesrc location=" + in + " ! rawvideoparse format=" + format +
        " width=" + std::to_string(width) + " height=" + std::to_string(height) + " ! " + tail +
        " ! filesink location=" + out.string());
  return readFile(out);
}

double meanDifference(const std::string& a, const std::string& b) {
  long total = 0;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i)
    total += std::abs(static_cast<int>(static_cast<uint8_t>(a[i])) - static_cast<uint8_t>(b[i]));
  return static_cast<double>(total) / static_cast<double>(std::max<size_t>(1, a.size()));
}

size_t countOf(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// Each reader gets the format, size and rate it asks for, with the look; the camera comes
// back by itself after PipeWire was gone.
TEST(VirtualCamera, EachReaderGetsWhatItAsksForWithTheLookAndPipeWireMayComeAndGo) {
  PrivatePipeWire pw;
  ASSERT_TRUE(pw.ok()) << pw.error();
  const fs::path dir = fs::path(pw.runtimeDir()) / "work";
  fs::create_directories(dir);
  const FilteredClip look(dir, 30);  // 320x240 at 25 fps
  const fs::path take = dir / "take.mkv";
  Child program({VZ_PROGRAM_PATH, "--bank", look.bank.string(), "--preset", "C", "--virtual-camera",
                 "pipewire", "--record", take.string(), look.clip.string()},
                (dir / "program.log").string(), programEnvironment(dir));

  // Listed as a camera.
  ASSERT_TRUE(PrivatePipeWire::waitListed("Video Zarnix", 20s)) << readFile(dir / "program.log");
  const std::string listed = shell("timeout 10 gst-device-monitor-1.0 Video/Source").out;
  EXPECT_NE(listed.find("node.name = videozarnix"), std::string::npos) << listed;
  EXPECT_NE(listed.find("media.role = Camera"), std::string::npos) << listed;

  const struct {
    const char* caps;
    const char* format;
    int width, height;
    const char* rate;
    int bar;  // black columns each side: a 4:3 picture in a 16:9 frame
  } asks[] = {
      {"video/x-raw,format=YUY2,width=640,height=480,framerate=30/1", "YUY2", 640, 480, "30/1", 0},
      {"video/x-raw,format=NV12,width=1280,height=720,framerate=30/1", "NV12", 1280, 720, "30/1",
       160},
      {"video/x-raw,format=I420,width=320,height=240,framerate=15/1", "I420", 320, 240, "15/1", 0},
      // Nothing in particular: the first format on offer at the outputs' size and rate.
      {"video/x-raw", "I420", 320, 240, "25/1", 0},
  };
  for (const auto& ask : asks) {
    SCOPED_TRACE(ask.caps);
    const size_t pixels = static_cast<size_t>(ask.width) * ask.height;
    const size_t frameBytes = std::string(ask.format) == "YUY2" ? pixels * 2 : pixels * 3 / 2;
    Reading r;
    withOneRetry(
        [&] {
          r = readCamera(dir, ask.caps);
          return r.frames.size() >= frameBytes;
        },
        [] {});
    ASSERT_GE(r.frames.size(), frameBytes) << r.log << readFile(dir / "program.log");
    const std::string wanted = "format=(string)" + std::string(ask.format) + ", width=(int)" +
                               std::to_string(ask.width) + ", height=(int)" +
                               std::to_string(ask.height) + ", framerate=(fraction)" + ask.rate;
    EXPECT_NE(r.caps.find(wanted), std::string::npos) << r.caps;
    EXPECT_EQ(r.frames.size() % frameBytes, 0u);
    const std::string last = r.frames.substr(r.frames.size() - frameBytes);

    // The look, within the error of 4:2:x and of scaling there and back.
    const std::string picture = convertFrame(
        dir, last, ask.format, ask.width, ask.height,
        "videocrop left=" + std::to_string(ask.bar) + " right=" + std::to_string(ask.bar) +
            " ! videoscale ! videoconvert ! video/x-raw,format=BGR,width=320,height=240");
    ASSERT_EQ(picture.size(), FilteredClip::kFrameBytes);
    EXPECT_LT(meanDifference(picture, look.referenceFrame), 8.0);
    // Bars, where the shapes differ, are black (short of the picture's edge).
    for (const char* keep : {"right", "left"}) {
      if (ask.bar == 0) break;
      const std::string bar = convertFrame(dir, last, ask.format, ask.width, ask.height,
                                           "videocrop " + std::string(keep) + "=" +
                                               std::to_string(ask.width - ask.bar + 4) +
                                               " ! videoconvert ! video/x-raw,format=GRAY8");
      ASSERT_EQ(bar.size(), static_cast<size_t>(ask.bar - 4) * ask.height);
      EXPECT_LT(meanDifference(bar, std::string(bar.size(), '\0')), 8.0) << keep;
    }
  }

  // A reader that states no caps at all gets nothing from this PipeWire's reader element
  // (from any node); the program says nothing about it, and serves the next reader.
  shell(
      "timeout 3 gst-launch-1.0 pipewiresrc target-object=videozarnix num-buffers=5 ! "
      "fakesink");
  EXPECT_TRUE(readableAsYuy2(dir));

  // PipeWire killed under the running camera: one line; back by itself (one line) when
  // PipeWire returns, readable again under its name.
  const std::string lost = "videozarnix: the virtual camera lost PipeWire";
  const std::string back = "videozarnix: the virtual camera is back on PipeWire";
  const auto log = [&] { return readFile(dir / "program.log"); };
  pw.killPipeWire();
  EXPECT_TRUE(waitFor([&] { return countOf(log(), lost) > 0; }, 10s)) << log();
  ASSERT_TRUE(pw.restartPipeWire()) << pw.error();
  EXPECT_TRUE(waitFor([&] { return countOf(log(), back) > 0; }, 10s)) << log();
  ASSERT_TRUE(PrivatePipeWire::waitListed("Video Zarnix", 20s)) << log();
  EXPECT_TRUE(readableAsYuy2(dir)) << log();

  // The program still ends at once and cleanly, having said nothing else.
  const auto asked = std::chrono::steady_clock::now();
  const int status = program.stop(SIGTERM, 20s);
  RecordProperty("exit_ms", static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                 std::chrono::steady_clock::now() - asked)
                                                 .count()));
  const std::string text = log();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << "\n" << text;
  EXPECT_EQ(countOf(text, lost), 1u) << text;
  EXPECT_EQ(countOf(text, back), 1u) << text;
  EXPECT_EQ(text.find("CRITICAL"), std::string::npos) << text;

  // The recording made meanwhile keeps the outputs' size whatever the readers asked.
  EXPECT_EQ(shell("ffprobe -v error -select_streams v:0 -show_entries stream=width,height "
                  "-of csv=p=0 " +
                  take.string())
                .out,
            "320,240\n");

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
      shell("env XDG_RUNTIME_DIR=" + runtime.string() + " QT_QPA_PLATFORM=offscreen " +
            VZ_PROGRAM_PATH + " --virtual-camera pipewire; echo status=$?")
          .out;
  EXPECT_NE(out.find("videozarnix: no PipeWire daemon answers"), std::string::npos) << out;
  EXPECT_NE(out.find("status=2"), std::string::npos) << out;
}

}  // namespace
}  // namespace vz::test
