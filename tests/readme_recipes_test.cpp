// SPDX-License-Identifier: GPL-3.0-or-later
// The README's recipes for the frame filter and the element, taken from README.md itself and
// run as written (in a folder of their own, with the programs as built and a test pattern in
// place of a camera), then judged by what users would check: frame rate, pixel format, the
// sound, a look on the picture, and what camera applications see.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>

#include "presets/bank_file.h"
#include "presets/preset_slot.h"
#include "tests/child_process.h"
#include "tests/private_pipewire.h"
#include "tests/scratch_dir.h"

namespace vz::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The one ```sh block of README.md that holds marker, its continued lines joined.
std::string recipe(const std::string& marker) {
  std::ifstream in(VZ_SOURCE_DIR "/README.md");
  std::stringstream text;
  text << in.rdbuf();
  const std::string readme = text.str();
  std::string found;
  int matches = 0;
  for (size_t at = 0; (at = readme.find("```sh\n", at)) != std::string::npos;) {
    const size_t start = at + 6, end = readme.find("```", start);
    std::string block = readme.substr(start, end - start);
    at = end + 3;
    if (block.find(marker) == std::string::npos) continue;
    ++matches;
    for (size_t c; (c = block.find("\\\n")) != std::string::npos;) block.replace(c, 2, " ");
    found = block;
  }
  EXPECT_EQ(matches, 1) << marker;
  return found;
}

std::string replaced(std::string s, const std::string& from, const std::string& to) {
  for (size_t at = 0; (at = s.find(from, at)) != std::string::npos; at += to.size())
    s.replace(at, from.size(), to);
  return s;
}

// Runs a recipe in dir with the plugin as built; its output for the failure message.
std::string runIn(const fs::path& dir, const std::string& commands) {
  Environment env = toolEnvironment();
  env.emplace_back("GST_PLUGIN_PATH", VZ_GST_PLUGIN_DIR);
  return shell("cd '" + dir.string() + "' && {\n" + commands + "\n} < /dev/null", env).out;
}

// "key=value" lines of ffprobe for the first stream of a kind.
std::string probe(const fs::path& file, const char* stream, const char* entries) {
  return shell(std::string("ffprobe -v error -count_frames -select_streams ") + stream +
               " -show_entries stream=" + entries + " -of default=nw=1 '" + file.string() + "'")
      .out;
}

// Frame n of a file as packed 24-bit pixels.
std::string frameOf(const fs::path& file, int n, const fs::path& dir) {
  const fs::path out = dir / "frame.raw";
  shell("ffmpeg -v error -y -i '" + file.string() + "' -vf 'select=eq(n\\," + std::to_string(n) +
        ")' -frames:v 1 -f rawvideo -pix_fmt bgr24 '" + out.string() + "'");
  return readFile(out);
}

double meanAbsDifference(const std::string& a, const std::string& b, bool invertB) {
  if (a.size() != b.size() || a.empty()) return 1e9;
  double total = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    const int vb = static_cast<uint8_t>(b[i]);
    total += std::abs(static_cast<uint8_t>(a[i]) - (invertB ? 255 - vb : vb));
  }
  return total / static_cast<double>(a.size());
}

double deviation(const std::string& pixels) {
  double sum = 0, squares = 0;
  for (const char c : pixels) {
    const double v = static_cast<uint8_t>(c);
    sum += v, squares += v * v;
  }
  const double n = std::max<double>(1, static_cast<double>(pixels.size()));
  return std::sqrt(std::max(0.0, squares / n - (sum / n) * (sum / n)));
}

class ReadmeRecipes : public ::testing::Test {
 protected:
  ScratchDir dir{"vz-recipes"};

  // A 30 fps clip with sound, and a bank whose slot F is the Negative look.
  void makeInputs(const std::string& size) {
    shell("ffmpeg -v error -y -f lavfi -i testsrc2=size=" + size +
          ":rate=30:duration=2 -f lavfi -i sine=frequency=440:duration=2 -c:v libx264 "
          "-pix_fmt yuv420p -c:a aac -shortest '" +
          (dir / "in.mp4").string() + "'");
    auto look = std::make_unique<VideoEngine>();
    look->mode = 9;  // negative: every byte turned round, easy to see and to check
    storeSlot(*look, 5);
    ASSERT_EQ(saveBankFile((dir / "looks.pvl").string(), *look), BankIo::Ok);
  }
};

// Every frame at the input's rate in H.264 4:2:0, frame 30 showing the look: the filter's
// (slot F, Negative: the input turned round, within what coding costs; the sound kept) and
// the element's LUT2 recording (a picture, not a flat field, and not the input as it was).
TEST_F(ReadmeRecipes, TheFileRecipesKeepRateAnd420AndShowTheLook) {
  const struct {
    const char *marker, *size, *out;
    bool filter;
  } cases[] = {{"videozarnix-fx --size", "1280x720", "out.mp4", true},
               {"mode=lut2", "640x360", "out.mkv", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.marker);
    makeInputs(c.size);
    const std::string commands = replaced(recipe(c.marker), "build/videozarnix-fx", VZ_FX_PATH);
    const std::string log = runIn(dir.path, commands);
    const fs::path out = dir / c.out;
    ASSERT_TRUE(fs::exists(out)) << commands << log;
    EXPECT_EQ(probe(out, "v:0", "codec_name,pix_fmt,r_frame_rate,nb_read_frames"),
              "codec_name=h264\npix_fmt=yuv420p\nr_frame_rate=30/1\nnb_read_frames=60\n")
        << log;
    const std::string in = frameOf(dir / "in.mp4", 30, dir.path), got = frameOf(out, 30, dir.path);
    EXPECT_GT(meanAbsDifference(got, in, false), c.filter ? 40.0 : 20.0);
    if (c.filter) {
      EXPECT_EQ(probe(out, "a:0", "codec_type"), "codec_type=audio\n") << log;
      EXPECT_LT(meanAbsDifference(got, in, true), 12.0);
    } else {
      EXPECT_GT(deviation(got), 20.0);
    }
  }
}

TEST_F(ReadmeRecipes, ThePipeWireCameraRecipeIsACameraThatCameraApplicationsTake) {
  PrivatePipeWire pw;
  ASSERT_TRUE(pw.ok()) << pw.error();
  makeInputs("320x240");
  // A moving test pattern stands in for the camera.
  const std::string commands =
      replaced(recipe("pipewiresink"), "v4l2src", "videotestsrc is-live=true");
  Environment env = toolEnvironment();
  env.emplace_back("GST_PLUGIN_PATH", VZ_GST_PLUGIN_DIR);
  Child camera({"sh", "-c", "cd '" + dir.path.string() + "' && exec " + commands},
               (dir / "camera.log").string(), env);
  std::string listed;
  for (int i = 0; i < 40 && listed.find("Zarnix") == std::string::npos; ++i) {
    usleep(250000);
    listed = shell("timeout 10 gst-device-monitor-1.0 Video/Source").out;
  }
  ASSERT_NE(listed.find("Zarnix"), std::string::npos) << listed << readFile(dir / "camera.log");
  EXPECT_NE(listed.find("media.role = Camera"), std::string::npos) << listed;
  EXPECT_NE(listed.find("format=I420"), std::string::npos) << listed;
  EXPECT_EQ(listed.find("format=BGR"), std::string::npos) << listed;
}

}  // namespace
}  // namespace vz::test
