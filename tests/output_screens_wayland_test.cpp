// SPDX-License-Identifier: GPL-3.0-or-later
// The program's output window on Wayland: a private Weston with two outputs (each an X
// window of a private Xvfb, so that screenshots can look at them), the window made full
// screen on the output chosen by name, the other output left to the dialog.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <string>

#include "tests/private_xvfb.h"

namespace vz::test {
namespace {

namespace fs = std::filesystem;

TEST(OutputScreensWayland, FullScreenOnTheOutputChosenByName) {
  const std::string missing =
      shell("for t in Xvfb xdotool weston ffmpeg; do command -v $t >/dev/null || echo $t; done")
          .out;
  if (!missing.empty()) GTEST_SKIP() << "not installed: " << missing;
  if (shell("ls \"$(qtpaths6 --plugin-dir 2>/dev/null || echo /usr/lib/x86_64-linux-gnu/"
            "qt6/plugins)\"/platforms/ | grep -c wayland")
          .out.find('0') == 0)
    GTEST_SKIP() << "no Qt Wayland platform plugin (qt6-wayland)";

  ScratchDir dir("vz-wayland");
  ::chmod(dir.string().c_str(), 0700);  // a runtime folder Wayland accepts
  PrivateXvfb x({"3200x1080x24"}, dir / "xvfb.log");
  ASSERT_TRUE(x.ok()) << readFile(dir / "xvfb.log");
  // Two outputs side by side in Weston's layout: X1 1280x800 at 0,0, X2 1920x1080 at 1280,0.
  writeFile(dir / "weston.ini",
            "[core]\nshell=desktop-shell.so\n[shell]\npanel-position=none\n"
            "background-color=0xff000000\n[output]\nname=X1\nmode=1280x800\n"
            "[output]\nname=X2\nmode=1920x1080\n");
  // No idle time: its lock screen would blank both outputs.
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
  // New windows open where the pointer is: the dialog on X1.
  x.run("xdotool mousemove 300 300");

  Environment env = programEnvironment(dir);
  env.insert(env.end(), {{"QT_QPA_PLATFORM", "wayland"},
                         {"WAYLAND_DISPLAY", "vz-wayland"},
                         {"XDG_RUNTIME_DIR", dir.string()},
                         {"DISPLAY", ""}});
  Child program({VZ_PROGRAM_PATH, "--output-screen", "X2",
                 std::string(VZ_TEST_CLIP_DIR) + "/halves_mpeg1.mpg"},
                (dir / "program.log").string(), env);
  Shot shot;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  do {
    usleep(250000);
    shot = {x.grab(0, 1280, 0, 1920, 1080, dir / "x2.rgb"), 1920};
  } while (!showsHalvesClip(shot, 1920, 1080) && std::chrono::steady_clock::now() < end);
  EXPECT_TRUE(showsHalvesClip(shot, 1920, 1080))
      << readFile(dir / "program.log") << readFile(dir / "weston.log");
  // X1 keeps the dialog: not covered by the picture.
  const Shot first{x.grab(0, 0, 0, 1280, 800, dir / "x1.rgb"), 1280};
  ASSERT_FALSE(first.empty());
  EXPECT_FALSE(showsHalvesClip(first, 1280, 800));
  EXPECT_FALSE(first.black(640, 400) && first.black(100, 100)) << "the dialog is not on X1";
  program.stop();
  weston.stop();
}

}  // namespace
}  // namespace vz::test
