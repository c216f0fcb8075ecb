// SPDX-License-Identifier: GPL-3.0-or-later
// The program as a child, ended by a signal while a box is open: at start-up (the device
// question's "no capture device" box, recording black meanwhile) and after a recording hit
// a file-size limit. Each time the box closes as cancelled, the recording is finalised and
// the program exits cleanly.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/child_process.h"
#include "tests/media_fakes.h"
#include "tests/scratch_dir.h"

namespace vz::test {
namespace {

namespace fs = std::filesystem;

// The program, with no camera, PipeWire, MIDI or OSC of anyone else's and a home of its own,
// recording into out; ended by that signal once ready() holds. Its log.
std::string runAndEnd(const ScratchDir& dir, std::vector<std::string> args, const fs::path& out,
                      const std::function<bool()>& ready, int signal) {
  fs::create_directories(dir / "runtime");
  fs::permissions(dir / "runtime", fs::perms::owner_all);
  Environment env = programEnvironment(dir.path, true);
  env.insert(env.end(), {{"XDG_RUNTIME_DIR", (dir / "runtime").string()},
                         {"HOME", dir.string()},
                         {"XDG_CONFIG_HOME", (dir / "config").string()}});
  const std::string log = (dir / "program.log").string();
  args.insert(args.end(), {"--midi", "none", "--osc-port", "0", "--record", out.string()});
  Child program(args, log, env);
  EXPECT_TRUE(waitFor(ready, std::chrono::seconds(120))) << readFile(log);
  const int status = program.stop(signal, std::chrono::seconds(30));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << "\n" << readFile(log);
  return readFile(log);
}

TEST(ProgramSignals, EndTheProgramThroughAStartUpBoxAndFinaliseTheRecording) {
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(strsignal(signal));
    const ScratchDir dir("vz-signals");
    const fs::path out = dir / "black.mkv";
    std::error_code ec;
    // No camera: the start-up box stays open; the recording starts beside it, black.
    const std::string said = runAndEnd(
        dir, {VZ_PROGRAM_PATH}, out, [&] { return fs::file_size(out, ec) >= 1000 && !ec; }, signal);
    EXPECT_NE(said.find("recorded " + out.string()), std::string::npos) << said;
    const std::string duration =
        shell("ffprobe -v error -show_entries format=duration -of csv=p=0 " + out.string()).out;
    EXPECT_GT(std::atof(duration.c_str()), 0.0) << duration;
  }
}

// A file-size limit ends the recording that reaches it, as a full disk does (its box, its
// line), not the program; a signal then closes that box and ends the program cleanly.
TEST(ProgramSignals, AFileSizeLimitEndsOnlyTheRecording) {
  const ScratchDir dir("vz-fsize");
  const fs::path out = dir / "limited.mkv";
  constexpr int kLimit = 40000;
  const std::string said = runAndEnd(
      dir,
      {"prlimit", "--fsize=" + std::to_string(kLimit), VZ_PROGRAM_PATH, "--record-codec", "ffv1",
       clipPath("halves_mpeg1.mpg")},
      out, [&] { return readFile(dir / "program.log").find("recorded ") != std::string::npos; },
      SIGTERM);
  EXPECT_EQ(said.find("recorded "), said.rfind("recorded ")) << said;  // one take, one line
  EXPECT_LE(fs::file_size(out), static_cast<uintmax_t>(kLimit));
}

}  // namespace
}  // namespace vz::test
