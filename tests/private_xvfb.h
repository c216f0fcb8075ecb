// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A private Xvfb for the tests that look at the program's real windows, stopped by its pid
// whatever the outcome, and screenshots of its screens the way a capture tool takes them.
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/child_process.h"
#include "tests/scratch_dir.h"

namespace vz::test {

class PrivateXvfb {
 public:
  // screens: Xvfb's screen options, e.g. {"1280x1024x24", "1920x1080x24"}. It keeps what
  // clients set (the RandR monitors) when the last of them leaves.
  PrivateXvfb(const std::vector<std::string>& screens, const std::filesystem::path& log) {
    // -displayfd: the server picks a free display number and writes it once it listens, so
    // servers started side by side never race for one.
    const std::filesystem::path number = log.string() + ".display";
    std::string command = "exec Xvfb -displayfd 3 -noreset -nolisten tcp";
    for (size_t i = 0; i < screens.size(); ++i)
      command += " -screen " + std::to_string(i) + " " + screens[i];
    server_ = std::make_unique<Child>(
        std::vector<std::string>{"sh", "-c", command + " 3>'" + number.string() + "'"},
        log.string());
    std::string n;
    for (int i = 0; i < 1000 && (n = readFile(number)).find('\n') == std::string::npos; ++i)
      usleep(10000);
    if (n.find('\n') != std::string::npos) display_ = ":" + n.substr(0, n.find('\n'));
  }

  bool ok() const { return !display_.empty(); }
  const std::string& display() const { return display_; }
  // A command run as a client of this server.
  std::string run(const std::string& command) const {
    return shell("export DISPLAY=" + display_ + "; " + command).out;
  }

  // Packed RGB of the rectangle at (x, y) of X screen `screen`; empty when the grab failed.
  std::vector<uint8_t> grab(int screen, int x, int y, int width, int height,
                            const std::filesystem::path& file) const {
    std::filesystem::remove(file);
    shell("ffmpeg -nostdin -v error -f x11grab -video_size " + std::to_string(width) + "x" +
          std::to_string(height) + " -i " + display_ + "." + std::to_string(screen) + "+" +
          std::to_string(x) + "," + std::to_string(y) +
          " -frames:v 1 -f rawvideo -pix_fmt rgb24 -y " + file.string());
    const std::string bytes = readFile(file);
    if (bytes.size() != static_cast<size_t>(width) * height * 3) return {};
    return {bytes.begin(), bytes.end()};
  }

 private:
  std::string display_;
  std::unique_ptr<Child> server_;
};

// A grabbed picture and what the tests ask of its pixels.
struct Shot {
  std::vector<uint8_t> rgb;
  int width = 0;

  bool empty() const { return rgb.empty(); }
  const uint8_t* at(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
  bool red(int x, int y) const { return at(x, y)[0] > 180 && at(x, y)[1] < 70 && at(x, y)[2] < 70; }
  bool blue(int x, int y) const {
    return at(x, y)[2] > 180 && at(x, y)[0] < 70 && at(x, y)[1] < 70;
  }
  bool black(int x, int y) const {
    return at(x, y)[0] < 16 && at(x, y)[1] < 16 && at(x, y)[2] < 16;
  }
};

// The halves clip (red over blue, 322x240) letterboxed on a screen of that size: red and
// blue in the middle of its halves, black bars left and right.
inline bool showsHalvesClip(const Shot& s, int width, int height) {
  if (s.empty()) return false;
  const int pictureWidth = 322 * height / 240;
  const int left = (width - pictureWidth) / 2;
  return s.red(width / 2, height / 4) && s.blue(width / 2, height * 3 / 4) &&
         s.red(left + 12, height / 4) && s.blue(left + pictureWidth - 12, height * 3 / 4) &&
         s.black(left - 12, height / 2) && s.black(left + pictureWidth + 12, height / 2) &&
         s.black(0, 0) && s.black(width - 1, height - 1);
}

}  // namespace vz::test
