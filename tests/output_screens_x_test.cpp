// SPDX-License-Identifier: GPL-3.0-or-later
// The program's output window on a private X server, looked at in screenshots: on the
// second of two X screens (each a desktop of its own, where a window must be created on its
// screen), and on the second monitor of one X screen (where it must be placed on it), chosen
// by index and by name. The dialog keeps its own screen or monitor uncovered.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "tests/private_xvfb.h"

namespace vz::test {
namespace {

namespace fs = std::filesystem;

class OutputScreensX : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string missing =
        shell("for t in Xvfb xdotool xrandr ffmpeg; do command -v $t >/dev/null || echo $t; done")
            .out;
    if (!missing.empty()) GTEST_SKIP() << "not installed: " << missing;
  }
  // The program on the halves clip with these options, on the server's first screen.
  std::unique_ptr<Child> startProgram(const PrivateXvfb& x, const std::string& screen) {
    Environment env = programEnvironment(dir);
    env.push_back({"QT_QPA_PLATFORM", "xcb"});
    env.push_back({"DISPLAY", x.display() + ".0"});
    return std::make_unique<Child>(
        std::vector<std::string>{VZ_PROGRAM_PATH, "--output-screen", screen,
                                 VZ_TEST_CLIP_DIR "/halves_mpeg1.mpg"},
        (dir / "program.log").string(), env);
  }
  // Polls screenshots of that rectangle until it shows the clip letterboxed (20 s at most).
  bool waitForPicture(const PrivateXvfb& x, int screen, int left, int width, int height) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    do {
      shot = {x.grab(screen, left, 0, width, height, dir / "shot.rgb"), width};
      if (showsHalvesClip(shot, width, height)) return true;
      usleep(250000);
    } while (std::chrono::steady_clock::now() < end);
    return false;
  }
  // "x,y WxH screen" of the output window as the X server has it; "" when there is none.
  std::string outputWindowPlace(const PrivateXvfb& x) {
    return x.run(
        "for w in $(xdotool search --name '^Video Zarnix Output$'); do xdotool "
        "getwindowgeometry $w; done | awk '/Position/ {p = $2; s = $4} /Geometry/ {print p, $2, "
        "s}' | tr -d ')'");
  }

  ScratchDir dir{"vz-xscreens"};
  Shot shot;
};

TEST_F(OutputScreensX, OnTheSecondOfTwoXScreensByIndex) {
  PrivateXvfb x({"1280x1024x24", "1920x1080x24"}, dir / "xvfb.log");
  ASSERT_TRUE(x.ok()) << readFile(dir / "xvfb.log");
  // Both X screens are named "screen": by name, neither is taken, and the message tells
  // them apart.
  EXPECT_EQ(
      x.run("{ ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=xcb timeout 60 " +
            std::string(VZ_PROGRAM_PATH) + " --output-screen screen " +
            VZ_TEST_CLIP_DIR "/halves_mpeg1.mpg" + " 2>&1; echo \"status $?\"; } | grep -v QStand"),
      "videozarnix: --output-screen: more than one screen is named screen; give its "
      "number; the screens are 0: screen 1280x1024, 1: screen 1920x1080\nstatus 2\n");

  auto program = startProgram(x, "1");
  EXPECT_TRUE(waitForPicture(x, 1, 0, 1920, 1080)) << readFile(dir / "program.log");
  EXPECT_EQ(outputWindowPlace(x), "0,0 1920x1080 1\n");
  // The first screen keeps the dialog, uncovered.
  EXPECT_NE(x.run("xdotool search --screen 0 --onlyvisible --name '^Video Zarnix$'"), "");
  const Shot first{x.grab(0, 0, 0, 1280, 1024, dir / "first.rgb"), 1280};
  ASSERT_FALSE(first.empty());
  // A window of the second screen's size here would show the picture's blue half there.
  EXPECT_FALSE(first.red(1279, 1023) || first.blue(1279, 1023));
}

TEST_F(OutputScreensX, OnTheSecondMonitorOfOneXScreenByName) {
  PrivateXvfb x({"3200x1080x24"}, dir / "xvfb.log");
  ASSERT_TRUE(x.ok()) << readFile(dir / "xvfb.log");
  x.run("xrandr --setmonitor LEFT 1280/338x1024/270+0+0 screen");
  x.run("xrandr --setmonitor RIGHT 1920/508x1080/286+1280+0 none");
  ASSERT_NE(x.run("xrandr --listmonitors").find("Monitors: 2"), std::string::npos);
  auto program = startProgram(x, "RIGHT");
  EXPECT_TRUE(waitForPicture(x, 0, 1280, 1920, 1080)) << readFile(dir / "program.log");
  EXPECT_EQ(outputWindowPlace(x), "1280,0 1920x1080 0\n");
  // The left monitor is not covered: its bottom right corner is not the picture.
  const Shot left{x.grab(0, 0, 0, 1280, 1024, dir / "left.rgb"), 1280};
  ASSERT_FALSE(left.empty());
  EXPECT_FALSE(left.red(1279, 1023) || left.blue(1279, 1023));
}

}  // namespace
}  // namespace vz::test
