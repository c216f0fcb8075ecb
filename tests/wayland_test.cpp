// SPDX-License-Identifier: GPL-3.0-or-later
// The program as a native Wayland client of a private Weston, with no X display: the dialog
// shows and the preview paints frames, full screen covers the whole output (panel included),
// Escape leaves it and a letter key recalls its preset, with keys arriving through Weston's
// seat as a keyboard's would.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QImage>
#include <chrono>
#include <functional>
#include <sstream>
#include <string>

#include "tests/filtered_clip.h"
#include "tests/osc_packet.h"
#include "tests/private_weston.h"

namespace vz::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// How much of the screen, and of its top band (where Weston's panel is), shows the clip's
// background colour untouched by any look.
struct Coverage {
  bool shot = false;  // false: the screenshot failed, nothing is known
  double screen = 0, topBand = 0;
};

Coverage coverage(const QImage& shot, QRgb colour) {
  Coverage c;
  if (shot.isNull()) return c;
  c.shot = true;
  const auto near = [&](QRgb p) {
    return std::abs(qRed(p) - qRed(colour)) <= 12 && std::abs(qGreen(p) - qGreen(colour)) <= 12 &&
           std::abs(qBlue(p) - qBlue(colour)) <= 12;
  };
  const QImage img = shot.convertToFormat(QImage::Format_RGB32);
  long all = 0, top = 0;
  for (int y = 0; y < img.height(); ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
    for (int x = 0; x < img.width(); ++x)
      if (near(row[x])) ++all, top += y < 24;
  }
  c.screen = double(all) / (double(img.width()) * img.height());
  c.topBand = double(top) / (24.0 * img.width());
  return c;
}

class WaylandProgram : public ::testing::TestWithParam<PrivateWeston::Backend> {
 protected:
  PrivateWeston weston{GetParam()};
  fs::path dir;
  std::unique_ptr<FilteredClip> look;
  std::unique_ptr<Child> program;
  int oscPort = freeUdpPort();
  QRgb background = 0;

  void SetUp() override {
    ASSERT_TRUE(weston.ok()) << weston.error();
    dir = weston.runtimeDir() / "work";
    fs::create_directories(dir);
    look = std::make_unique<FilteredClip>(dir, 60);
    ASSERT_GE(look->sourceFrame.size(), 3u);
    const auto* bgr = reinterpret_cast<const unsigned char*>(look->sourceFrame.data());
    background = qRgb(bgr[2], bgr[1], bgr[0]);  // the top left pixel: background, no box

    Environment env = programEnvironment(dir);
    for (const auto& e : weston.clientEnvironment()) {
      std::erase_if(env, [&](const auto& v) { return v.first == e.first; });
      env.push_back(e);
    }
    env.emplace_back("VZ_FRAME_TIMES", (dir / "frames.txt").string());
    program = std::make_unique<Child>(
        std::vector<std::string>{VZ_PROGRAM_PATH, "--midi", "none", "--osc-bind", "127.0.0.1",
                                 "--osc-port", std::to_string(oscPort), "--bank",
                                 look->bank.string(), look->clip.string()},
        (dir / "program.log").string(), env);
  }
  void TearDown() override {
    if (!program) return;
    // Closed as the desktop would close it; a clean exit, never a crash on the way out.
    const int status = program->stop(SIGTERM, 30s);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status << "\n"
                                                               << diagnostics();
  }

  std::string diagnostics() const {
    return "program:\n" + readFile(dir / "program.log") + "keys:\n" + weston.inputLog() +
           "weston:\n" + weston.log();
  }
  size_t framesPainted() const {
    const std::string t = readFile(dir / "frames.txt");
    return static_cast<size_t>(std::count(t.begin(), t.end(), '\n'));
  }
  // Screenshots until the coverage satisfies want, for up to 30 s; the last one's coverage.
  Coverage waitForScreen(const std::function<bool(const Coverage&)>& want, int tries = 60) {
    Coverage c;
    for (int i = 0; i < tries; ++i) {
      c = coverage(weston.screenshot(), background);
      if (want(c)) break;
      usleep(500000);
    }
    return c;
  }
};

const auto framed = [](const Coverage& c) {
  // The preview (720x480 of 1280x800) in a window smaller than the screen, panel showing.
  return c.screen > 0.05 && c.screen < 0.5 && c.topBand < 0.05;
};
const auto fullScreen = [](const Coverage& c) { return c.screen > 0.7 && c.topBand > 0.5; };
const auto lookRecalled = [](const Coverage& c) { return c.shot && c.screen < 0.01; };

TEST_P(WaylandProgram, ShowsPaintsGoesFullScreenAndBackAndRecallsALook) {
  for (int i = 0; i < 6000 && framesPainted() < 25; ++i) usleep(10000);
  ASSERT_GE(framesPainted(), 25u) << diagnostics();
  Coverage c = waitForScreen(framed);
  ASSERT_TRUE(framed(c)) << c.screen << " " << c.topBand << "\n" << diagnostics();

  const size_t before = framesPainted();
  Udp(oscPort).send("/videozarnix/fullscreen", "i", 1);
  c = waitForScreen(fullScreen);
  EXPECT_TRUE(fullScreen(c)) << c.screen << " " << c.topBand << "\n" << diagnostics();
  EXPECT_GT(framesPainted(), before);  // still playing, in the full-screen window

  if (GetParam() == PrivateWeston::Backend::NestedInXvfb) {
    // Keys through Weston's seat: Escape leaves full screen, C recalls the look in slot C.
    // A click into the full-screen preview (clear of the colour bars' place) first, as a
    // user would, so that the keyboard is the program's. A lost key is typed again while
    // the window is still full screen.
    for (int attempt = 0; attempt < 6; ++attempt) {
      weston.typeKeys("Escape", std::pair{40, PrivateWeston::kHeight / 2});
      c = waitForScreen(framed, 10);
      if (framed(c) || (c.shot && !fullScreen(c))) break;
    }
    c = waitForScreen(framed);
    EXPECT_TRUE(framed(c)) << c.screen << " " << c.topBand << "\n" << diagnostics();
    // A second recall of the same slot changes nothing, so a lost key is simply typed again.
    for (int attempt = 0; attempt < 6; ++attempt) {
      weston.typeKeys("c");
      if (lookRecalled(waitForScreen(lookRecalled, 10))) break;
    }
  } else {
    Udp(oscPort).send("/videozarnix/fullscreen", "i", 0);
    c = waitForScreen(framed);
    EXPECT_TRUE(framed(c)) << c.screen << " " << c.topBand << "\n" << diagnostics();
    Udp(oscPort).send("/videozarnix/preset", "i", 2);
  }
  c = waitForScreen(lookRecalled);
  EXPECT_TRUE(lookRecalled(c)) << c.screen << "\n" << diagnostics();
}

INSTANTIATE_TEST_SUITE_P(Weston, WaylandProgram,
                         ::testing::Values(PrivateWeston::Backend::Headless,
                                           PrivateWeston::Backend::NestedInXvfb),
                         [](const auto& info) {
                           return info.param == PrivateWeston::Backend::Headless
                                      ? std::string("Headless")
                                      : std::string("KeysThroughNestedWeston");
                         });

}  // namespace
}  // namespace vz::test
