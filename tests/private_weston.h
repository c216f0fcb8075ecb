// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A Weston of the test's own in a temporary runtime folder: headless, or drawing into a
// private Xvfb so that keys typed there (xdotool) reach Wayland clients through Weston's
// seat. Screenshots through Weston's own screenshooter. Every process it started is stopped
// by its id when it goes, whatever the outcome.
#include <stdlib.h>

#include <QImage>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "tests/child_process.h"
#include "tests/private_xvfb.h"
#include "tests/scratch_dir.h"

namespace vz::test {

class PrivateWeston {
 public:
  enum class Backend { Headless, NestedInXvfb };
  friend void PrintTo(Backend b, std::ostream* out) {
    *out << (b == Backend::Headless ? "headless" : "nested in Xvfb");
  }
  static constexpr int kWidth = 1280, kHeight = 800;

  explicit PrivateWeston(Backend backend) {
    char tmpl[] = "/tmp/vz-weston-XXXXXX";
    if (mkdtemp(tmpl) == nullptr) {
      error_ = "cannot make a runtime folder";
      return;
    }
    dir_ = tmpl;  // mode 0700, as Wayland wants its runtime folder
    Environment env = {{"XDG_RUNTIME_DIR", dir_.string()}};
    std::string backendName = "headless-backend.so";
    if (backend == Backend::NestedInXvfb) {
      xvfb_ = std::make_unique<PrivateXvfb>(
          std::vector<std::string>{std::to_string(kWidth) + "x" + std::to_string(kHeight) + "x24"},
          dir_ / "xvfb.log");
      if (!xvfb_->ok()) {
        error_ = "Xvfb did not start: " + readFile(dir_ / "xvfb.log");
        return;
      }
      display_ = xvfb_->display();
      env.emplace_back("DISPLAY", display_);
      backendName = "x11-backend.so";
    }
    // --debug opens the screenshooter to any client; --no-config keeps a user's weston.ini out.
    weston_ = std::make_unique<Child>(
        std::vector<std::string>{"weston", "--backend=" + backendName, "--use-pixman",
                                 "--no-config", "--socket=" + socket(), "--idle-time=0",
                                 "--width=" + std::to_string(kWidth),
                                 "--height=" + std::to_string(kHeight), "--debug",
                                 "--log=" + (dir_ / "weston.log").string()},
        (dir_ / "weston.out").string(), env);
    // Ready once its desktop shell is up: the shell is launched after the socket is made.
    for (int i = 0;
         i < 1000 && readFile(dir_ / "weston.log").find("launching '") == std::string::npos; ++i)
      usleep(10000);
    if (!std::filesystem::exists(dir_ / socket()))
      error_ =
          "weston did not start: " + readFile(dir_ / "weston.log") + readFile(dir_ / "weston.out");
  }
  ~PrivateWeston() {
    weston_.reset();  // before the X server it draws into
    xvfb_.reset();
    std::error_code ec;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
  }
  PrivateWeston(const PrivateWeston&) = delete;
  PrivateWeston& operator=(const PrivateWeston&) = delete;

  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }
  const std::filesystem::path& runtimeDir() const { return dir_; }
  std::string socket() const { return "wayland-vz"; }
  std::string log() const { return readFile(dir_ / "weston.log"); }

  // What a Wayland client of this compositor needs, and no X display.
  Environment clientEnvironment() const {
    return {{"XDG_RUNTIME_DIR", dir_.string()},
            {"WAYLAND_DISPLAY", socket()},
            {"QT_QPA_PLATFORM", "wayland"},
            {"DISPLAY", ""}};
  }

  // The whole output as Weston composes it (a null image when that failed).
  QImage screenshot() {
    const std::filesystem::path shots = dir_ / ("shot" + std::to_string(++shots_));
    std::filesystem::create_directories(shots);
    shell("cd " + shots.string() + " && timeout 20 weston-screenshooter", clientEnvironment());
    for (const auto& file : std::filesystem::directory_iterator(shots))
      if (file.path().extension() == ".png") return QImage(QString::fromStdString(file.path()));
    return {};
  }

  // Types keys into the nested compositor's window as a keyboard would (XTEST); xdotool
  // names: "Escape", "c". With a point given, clicks there first, as a user clicks into a
  // window before typing: Weston gives the keyboard to the surface clicked, whatever held it.
  // What xdotool said is kept for inputLog().
  void typeKeys(const std::string& keys, std::optional<std::pair<int, int>> clickAt = {}) {
    // The X focus is set directly: its effect is ordered before the keys, and waiting for
    // it to show (--sync) can hang.
    std::string script =
        "w=$(xdotool search --class weston | head -n 1); echo window $w; "
        "xdotool windowfocus $w; ";
    if (clickAt)
      script += "xdotool mousemove --window $w " + std::to_string(clickAt->first) + " " +
                std::to_string(clickAt->second) + " click 1; sleep 0.3; ";
    script += "xdotool key --delay 50 " + keys + "; echo focus $(xdotool getwindowfocus)";
    const Ran r = shell("DISPLAY=" + display_ + " timeout 10 sh -c '" + script + "'");
    inputLog_ += keys + ": status " + std::to_string(r.status) + ": " + r.out;
  }
  const std::string& inputLog() const { return inputLog_; }

 private:
  std::filesystem::path dir_;
  std::string error_, display_;
  std::unique_ptr<PrivateXvfb> xvfb_;
  std::unique_ptr<Child> weston_;
  int shots_ = 0;
  std::string inputLog_;
};

}  // namespace vz::test
