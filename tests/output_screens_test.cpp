// SPDX-License-Identifier: GPL-3.0-or-later
// The program's output window on the screen chosen for it, looked at in screenshots of a
// private X server: on the second of two X screens (each a desktop of its own, where a window
// must be created on its screen) and on the second monitor of one X screen (where it must be
// placed on it), chosen by index and by name; and full screen on the Wayland output chosen by
// name (a private Weston whose two outputs are X windows). The dialog keeps its own screen,
// monitor or output uncovered.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <string>

#include "tests/private_xvfb.h"

namespace vz::test {
namespace {

class OutputScreens : public ::testing::Test {
 protected:
  // The tools of that list not installed here.
  static std::string missing(const std::string& tools) {
    return shell("for t in " + tools + "; do command -v $t >/dev/null || echo $t; done").out;
  }
  // The program on the halves clip, its output window on that screen.
  std::unique_ptr<Child> startProgram(const std::string& screen, const Environment& platform) {
    Environment env = programEnvironment(dir);
    env.insert(env.end(), platform.begin(), platform.end());
    return std::make_unique<Child>(
        std::vector<std::string>{VZ_PROGRAM_PATH, "--output-screen", screen,
                                 VZ_TEST_CLIP_DIR "/halves_mpeg1.mpg"},
        (dir / "program.log").string(), env);
  }
  // Polls screenshots of that rectangle until it shows the clip letterboxed (20 s at most).
  bool waitForPicture(const PrivateXvfb& x, int screen, int left, int width, int height) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    do {
      if (showsHalvesClip(grab(x, screen, left, width, height), width, height)) return true;
      usleep(250000);
    } while (std::chrono::steady_clock::now() < end);
    return false;
  }
  Shot grab(const PrivateXvfb& x, int screen, int left, int width, int height) {
    return {x.grab(screen, left, 0, width, height, dir / "shot.rgb"), width};
  }
  // "x,y WxH screen" of the output window as the X server has it; "" when there is none.
  static std::string outputWindowPlace(const PrivateXvfb& x) {
    return x.run(
        "for w in $(xdotool search --name '^Video Zarnix Output$'); do xdotool "
        "getwindowgeometry $w; done | awk '/Position/ {p = $2; s = $4} /Geometry/ {print p, $2, "
        "s}' | tr -d ')'");
  }
  // The dialog's screen, monitor or output from its top left: neither the picture fitted to
  // it nor part of a larger one (that would show its blue half at the corner).
  void expectUncovered(const PrivateXvfb& x, int width, int height) {
    const Shot s = grab(x, 0, 0, width, height);
    ASSERT_FALSE(s.empty());
    EXPECT_FALSE(showsHalvesClip(s, width, height));
    EXPECT_FALSE(s.red(width - 1, height - 1) || s.blue(width - 1, height - 1));
  }

  ScratchDir dir{"vz-screens"};
};

TEST_F(OutputScreens, OnTheSecondOfTwoXScreensByIndex) {
  if (const std::string m = missing("Xvfb xdotool ffmpeg"); !m.empty())
    GTEST_SKIP() << "not installed: " << m;
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

  auto program = startProgram("1", {{"QT_QPA_PLATFORM", "xcb"}, {"DISPLAY", x.display() + ".0"}});
  EXPECT_TRUE(waitForPicture(x, 1, 0, 1920, 1080)) << readFile(dir / "program.log");
  EXPECT_EQ(outputWindowPlace(x), "0,0 1920x1080 1\n");
  EXPECT_NE(x.run("xdotool search --screen 0 --onlyvisible --name '^Video Zarnix$'"), "");
  expectUncovered(x, 1280, 1024);
}

TEST_F(OutputScreens, OnTheSecondMonitorOfOneXScreenByName) {
  if (const std::string m = missing("Xvfb xdotool xrandr ffmpeg"); !m.empty())
    GTEST_SKIP() << "not installed: " << m;
  PrivateXvfb x({"3200x1080x24"}, dir / "xvfb.log");
  ASSERT_TRUE(x.ok()) << readFile(dir / "xvfb.log");
  x.run("xrandr --setmonitor LEFT 1280/338x1024/270+0+0 screen");
  x.run("xrandr --setmonitor RIGHT 1920/508x1080/286+1280+0 none");
  ASSERT_NE(x.run("xrandr --listmonitors").find("Monitors: 2"), std::string::npos);
  auto program =
      startProgram("RIGHT", {{"QT_QPA_PLATFORM", "xcb"}, {"DISPLAY", x.display() + ".0"}});
  EXPECT_TRUE(waitForPicture(x, 0, 1280, 1920, 1080)) << readFile(dir / "program.log");
  EXPECT_EQ(outputWindowPlace(x), "1280,0 1920x1080 0\n");
  expectUncovered(x, 1280, 1024);
}

TEST_F(OutputScreens, FullScreenOnTheWaylandOutputChosenByName) {
  if (const std::string m = missing("Xvfb xdotool weston ffmpeg"); !m.empty())
    GTEST_SKIP() << "not installed: " << m;
  if (shell("ls \"$(qtpaths6 --plugin-dir 2>/dev/null || echo /usr/lib/x86_64-linux-gnu/"
            "qt6/plugins)\"/platforms/ | grep -c wayland")
          .out.find('0') == 0)
    GTEST_SKIP() << "no Qt Wayland platform plugin (qt6-wayland)";
  ::chmod(dir.string().c_str(), 0700);  // a runtime folder Wayland accepts
  PrivateXvfb x({"3200x1080x24"}, dir / "xvfb.log");
  ASSERT_TRUE(x.ok()) << readFile(dir / "xvfb.log");
  // Two outputs side by side in Weston's layout: X1 1280x800 at 0,0, X2 1920x1080 at 1280,0.
  writeFile(dir / "weston.ini",
            "[core]\nshell=desktop-shell.so\n[shell]\npanel-position=none\n"
            "background-color=0xff000000\n[output]\nname=X1\nmode=1280x800\n"
            "[output]\nname=X2\nmode=1920x1080\n");
  // No idle time: its lock screen would blank both outputs. It stops after the program and
  // before the X server, as they were declared.
  Child weston({"weston", "--backend=x11-backend.so", "--use-pixman", "--output-count=2",
                "--idle-time=0", "-c", (dir / "weston.ini").string(), "--socket=vz-wayland",
                "--log=" + (dir / "weston.log").string()},
               (dir / "weston.out").string(),
               {{"XDG_RUNTIME_DIR", dir.string()}, {"DISPLAY", x.display()}});
  // Weston's output windows all open at the top left of the X screen: X2 goes beside X1.
  std::string x2;
  for (int i = 0; i < 100 && x2.empty(); ++i) {
    usleep(100000);
    x2 = x.run(
        "for w in $(xdotool search --class Weston); do [ \"$(xdotool getwindowname $w)\" = "
        "'Weston Compositor - X2' ] && echo $w; done");
  }
  ASSERT_FALSE(x2.empty()) << readFile(dir / "weston.log");
  x2.pop_back();
  x.run("xdotool windowmove " + x2 + " 1280 0");
  x.run("xdotool mousemove 300 300");  // new windows open where the pointer is: the dialog on X1

  auto program = startProgram("X2", {{"QT_QPA_PLATFORM", "wayland"},
                                     {"WAYLAND_DISPLAY", "vz-wayland"},
                                     {"XDG_RUNTIME_DIR", dir.string()},
                                     {"DISPLAY", ""}});
  EXPECT_TRUE(waitForPicture(x, 0, 1280, 1920, 1080))
      << readFile(dir / "program.log") << readFile(dir / "weston.log");
  expectUncovered(x, 1280, 800);
  const Shot first = grab(x, 0, 0, 1280, 800);
  EXPECT_FALSE(first.black(640, 400) && first.black(100, 100)) << "the dialog is not on X1";
}

}  // namespace
}  // namespace vz::test
