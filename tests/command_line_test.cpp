// SPDX-License-Identifier: GPL-3.0-or-later
// The program's command line: what starts, what is refused with exit 2, and the program
// itself refusing before any window; its camera options against a camera published on a
// private PipeWire.
#include "app/command_line.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "output/camera_target.h"
#include "tests/child_process.h"
#include "tests/private_pipewire.h"
#include "tests/scratch_dir.h"

namespace vz::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The program without a display, started through launcher (empty: directly); its exit
// status is judged, not GLib's process-lifetime allocations.
Ran program(const std::string& args, const std::string& launcher = "") {
  return shell("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + launcher + " " +
                   VZ_PROGRAM_PATH + " " + args,
               {extended("ASAN_OPTIONS", ":detect_leaks=0")});
}

class CommandLineTest : public ::testing::Test {
 protected:
  ScratchDir dir{"vz-command-line"};
  const std::string bank = writeFile(dir / "looks.pvl", std::string(3840, '\0'));
  const std::string shortBank = writeFile(dir / "short.pvl", std::string(3839, '\0'));
  const std::string existing = writeFile(dir / "taken.mkv", "x");

  CommandLine parse(std::vector<std::string> args) {
    QStringList list{QStringLiteral("videozarnix")};
    for (auto& a : args) list << QString::fromStdString(a);
    return parseCommandLine(list);
  }
};

// What is named must be what it is used as: a bank a regular file of 3840 bytes, a recording a
// new regular file in an existing folder, a FILE a name. A row naming the program is the
// whole message; the others a part of it.
TEST_F(CommandLineTest, RefusesWithOneLineAndStatusTwo) {
  const std::string fresh = (dir / "new").string(), pipe = (dir / "pipe").string();
  const std::string longBank = writeFile(dir / "long.pvl", std::string(3841, '\0'));
  ::mkfifo(pipe.c_str(), 0600);
  ::mkfifo((pipe + ".mkv").c_str(), 0600);
  const std::string longName = (dir / (std::string(256, 'n') + ".mkv")).string();
  const struct {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{"--bogus"}, "bogus"},
      {{"a.mpg", "b.mpg"}, "more than one FILE"},
      {{"--preset", "7"}, "one letter"},
      {{"--preset", "AB"}, "one letter"},
      {{"--preset"}, "preset"},
      {{"--bank", "/nonexistent/x.pvl"}, "cannot open"},
      {{"--bank", shortBank}, "3840"},
      {{"--record", existing}, "overwrite"},
      {{"--record", (dir / "taken").string()}, "overwrite"},  // .mkv is added, and exists
      {{"--record", fresh + ".avi"}, ".avi"},
      {{"--record", "/nonexistent/dir/a.mkv"}, "cannot write /nonexistent/dir/a.mkv: No such"},
      {{"--record", fresh + ".mp4", "--record-codec", "ffv1"}, "cannot hold ffv1"},
      {{"--record", fresh + ".webm", "--record-codec", "h264"}, "cannot hold h264"},
      {{"--record-codec", "mpeg2"}, "unknown recording codec"},
      {{"--virtual-camera", "somewhere"}, "--virtual-camera"},
      {{"--preset", "A", "--preset", "B"}, "more than once"},
      {{"--no-loop", "--no-loop"}, "more than once"},
      {{"--no-loop=yes"}, "no-loop"},
      {{"--osc-port", "notaport"}, ""},  // the controllers' options join the same rules
      {{"--camera-size", "1280"}, "WIDTHxHEIGHT"},
      {{"--camera-size", "0x720"}, "WIDTHxHEIGHT"},
      {{"--camera-fps", "fast"}, "whole number"},
      {{"--camera", ""}, "--camera needs"},
      {{"--camera-fps", "30", "--camera-fps", "25"}, "more than once"},
      {{"--bank", longBank},
       "videozarnix: " + longBank +
           " is not a bank file (more than 3840 bytes long; a bank is 3840 bytes)"},
      {{"--bank", pipe}, "videozarnix: " + pipe + " is not a bank file (a named pipe)"},
      {{"--bank", dir.string()}, "videozarnix: " + dir.string() + " is not a bank file (a folder)"},
      {{"--record", longName},
       "videozarnix: cannot record into " + longName + ": File name too long"},
      {{"--record", dir.string()},
       "videozarnix: cannot record into " + dir.string() + ": it is a folder; name a new file"},
      {{"--record", pipe},
       "videozarnix: cannot record into " + pipe + ": it is a named pipe; name a new file"},
      {{"--record", pipe + ".mkv"},
       "videozarnix: cannot record into " + pipe + ".mkv: it is a named pipe; name a new file"},
      {{"--record", "/dev/full"},
       "videozarnix: cannot record into /dev/full: it is a device; name a new file"},
      {{"--record", "/dev/vz-take.mkv"},
       "videozarnix: cannot record into /dev/vz-take.mkv: /dev holds the system's devices and "
       "state, not recordings"},
      {{"--record", existing + "/a.mkv"},
       "videozarnix: cannot record into " + existing + "/a.mkv: Not a directory"},
      {{""},
       "videozarnix: the FILE given is empty: name a video file, or give none for the camera"},
  };
  for (const auto& c : cases) {
    const CommandLine r = parse(c.args);
    SCOPED_TRACE(c.args.front() + " " + c.args.back());
    EXPECT_FALSE(r.run);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.message.find(c.message), std::string::npos) << r.message;
    if (c.message.starts_with("videozarnix: ")) {
      EXPECT_EQ(r.message, c.message);
    }
    EXPECT_EQ(r.message.find('\n'), std::string::npos) << "one line: " << r.message;
  }
  EXPECT_FALSE(fs::exists("/dev/vz-take.mkv"));
  EXPECT_FALSE(fs::exists(pipe + ".mkv.mkv"));
}

TEST_F(CommandLineTest, ReadsEveryOption) {
  const std::string rec = (dir / "set").string();
  const CommandLine r = parse({"--bank", bank, "--preset", "f", "--record", rec, "--record-codec",
                               "FFV1", "--virtual-camera", "pipewire", "--output-screen", "1",
                               "--osc-port", "0", "--midi", "none", "--no-loop", "clip.mpg"});
  ASSERT_TRUE(r.run) << r.message;
  EXPECT_EQ(r.options.file, "clip.mpg");
  EXPECT_EQ(r.options.bankFile, bank);
  EXPECT_EQ(r.options.presetSlot, 5);
  ASSERT_TRUE(r.options.record.has_value());
  EXPECT_EQ(r.options.record->path, rec + ".mkv");
  EXPECT_EQ(r.options.record->codec, VideoCodec::Ffv1);
  EXPECT_EQ(r.options.virtualCamera, "pipewire");
  EXPECT_EQ(r.options.outputScreen, "1");
  EXPECT_EQ(r.options.controllers.oscPort, 0);
  EXPECT_FALSE(r.options.controllers.midi);
  const CameraOptions cam =
      parse({"--camera", "v4l2:cam", "--camera-size", "1280X720", "--camera-fps", "25"})
          .options.cameras;
  EXPECT_EQ(cam.key + std::to_string(cam.mode.width) + "x" + std::to_string(cam.mode.height) + "@" +
                std::to_string(cam.mode.fps),
            "v4l2:cam1280x720@25");
  EXPECT_TRUE(parse({"--list-cameras"}).options.cameras.list && !cam.list);
  EXPECT_FALSE(r.options.loopClips);

  const CommandLine plain = parse({});
  ASSERT_TRUE(plain.run);
  EXPECT_TRUE(plain.options.file.empty());
  EXPECT_EQ(plain.options.presetSlot, -1);
  EXPECT_FALSE(plain.options.record.has_value());
  EXPECT_TRUE(plain.options.loopClips);
}

TEST_F(CommandLineTest, RecordFormatsFollowTheExtension) {
  const struct {
    const char* name;
    const char* codec;
    Container container;
    VideoCodec expected;
  } cases[] = {
      {"a.mkv", "", Container::Matroska, VideoCodec::H264},
      {"a.MP4", "", Container::Mp4, VideoCodec::H264},
      {"a.webm", "", Container::WebM, VideoCodec::Vp8},
      {"a.webm", "vp9", Container::WebM, VideoCodec::Vp9},
      {"a.mkv", "ffv1", Container::Matroska, VideoCodec::Ffv1},
  };
  for (const auto& c : cases) {
    const Result<RecordFormat> r = resolveRecordFormat(c.name, c.codec);
    ASSERT_TRUE(r.ok()) << c.name << ": " << r.message();
    EXPECT_EQ(r->container, c.container) << c.name;
    EXPECT_EQ(r->codec, c.expected) << c.name;
  }
  setenv("XDG_VIDEOS_DIR", "/v", 1);
  const std::string path = defaultRecordingPath(0);
  EXPECT_EQ(path.rfind("/v/videozarnix-19", 0), 0u) << path;
  EXPECT_EQ(path.size(), std::string("/v/videozarnix-YYYYmmdd-HHMMSS.mkv").size());
}

// No display at all: a refusal must come from the options, not from the missing display. The
// file named gets the check a dropped file gets: anything but a regular file is named as what
// it is, and a file nothing can play (random bytes, sound only) is refused. A virtual camera
// must be a V4L2 device that takes video output. Each in one line with exit status 2.
TEST_F(CommandLineTest, ProgramRefusesWithOneLineBeforeAnyWindow) {
  ::mkfifo((dir / "pipe").c_str(), 0600);
  const std::string clip = writeFile(dir / "clip.mpg", "not really"), clips = VZ_TEST_CLIP_DIR;
  const std::pair<std::string, std::string> cases[] = {
      {"--preset 9", "--preset takes one letter A to Z, not '9'\n"},
      {"--virtual-camera /dev/zero",
       "/dev/zero is not a V4L2 video device (a v4l2loopback device is needed)\n"},
      {"--virtual-camera /dev/null",
       "/dev/null is not a V4L2 video device (a v4l2loopback device is needed)\n"},
      {"--virtual-camera /dev/nonexistent-video",
       "not a video device: /dev/nonexistent-video (No such file"},
      {dir.string(), dir.string() + " is a folder"},
      {(dir / "pipe").string(),
       (dir / "pipe").string() + " is a named pipe, which cannot be played"},
      {"/dev/null", "/dev/null is a device or socket, not a video file"},
      {(dir / "missing.mpg").string(), "no such file: " + (dir / "missing.mpg").string()},
      {clip, clip + " is not a video or picture file that can be read"},
      {clips + "/garbage.mpg", clips + "/garbage.mpg is not a video or picture file"},
      {clips + "/sound_only.wav", clips + "/sound_only.wav has no video or picture in it"},
      {clips + "/halves_mpeg1.mpg", "no display found"},  // the file itself passed
  };
  for (const auto& [args, message] : cases) {
    const Ran r = program(args.starts_with("--") ? args : "'" + args + "'");
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_EQ(r.out.rfind("videozarnix: " + message, 0), 0u) << r.out;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
  }
  const Ran help = program("--help");
  EXPECT_EQ(help.status, 0);
  for (const char* option :
       {"--bank", "--preset", "--record ", "--record-codec", "--virtual-camera", "--output-screen",
        "--midi", "--osc-port", "--camera ", "--camera-size", "--camera-fps", "--list-cameras",
        "Usage: videozarnix"})
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
}

TEST(CameraOptions, ListedOpenedByKeyInTheNearestModeAndAbsentKeyRefused) {
  PrivatePipeWire pw;
  ASSERT_TRUE(pw.ok()) << pw.error();
  ASSERT_GT(pw.addCamera("vz-options-camera", "Options Camera", 320, 240), 0);
  ASSERT_TRUE(PrivatePipeWire::waitListed("Options Camera", 10s));

  const Ran listing = program("--list-cameras");
  EXPECT_EQ(listing.status, 0);
  EXPECT_NE(listing.out.find("key:  pipewire:vz-options-camera\nname: Options Camera\n"
                             "mode: 320x240@30 YUY2\n"),
            std::string::npos)
      << listing.out;
  const Ran absent = program("--camera pipewire:nosuch");
  EXPECT_EQ(absent.out,
            "videozarnix: no camera has the key pipewire:nosuch (--list-cameras prints them)\n");
  EXPECT_EQ(absent.status, 2);

  // Offscreen, a device question would wait for ever: the mode line shows that the camera
  // was taken by its key and that size and rate reached its mode choice. The program is
  // stopped by its id once the line is there, or after 30 s (killed 3 s later if need be).
  const std::string log = pw.runtimeDir() + "/program.log";
  const std::string opened =
      program(
          "--camera pipewire:vz-options-camera --camera-size 160x120 --camera-fps 15",
          "QT_QPA_PLATFORM=offscreen G_SLICE=always-malloc sh -c 'timeout -k 3 60 \"$0\" \"$@\" >" +
              log + " 2>&1 & p=$!; for i in $(seq 300); do grep -q \"no such mode\" " + log +
              " && break; sleep 0.1; done; kill $p; wait $p; cat " + log + "'")
          .out;
  EXPECT_NE(opened.find("camera \"Options Camera\" has no such mode; using 320x240 at 30 fps"),
            std::string::npos)
      << opened;
}

// Not a device at all: refused wherever the name comes from.
TEST_F(CommandLineTest, AVirtualCameraMustBeADevice) {
  const std::string pipe = (dir / "pipe").string();
  ::mkfifo(pipe.c_str(), 0600);
  for (const std::string& path : {existing, pipe}) {
    const Result<std::string> t = resolveCameraTarget(path);
    EXPECT_FALSE(t.ok()) << path;
    EXPECT_EQ(t.message().rfind("not a video device: " + path, 0), 0u) << t.message();
  }
}

}  // namespace
}  // namespace vz::test
