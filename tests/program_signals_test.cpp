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

// What the program needs to run on its own: no camera, PipeWire, MIDI or OSC of anyone else's,
// and a home of its own.
Environment isolated(const ScratchDir& dir) {
  fs::create_directories(dir / "runtime");
  fs::permissions(dir / "runtime", fs::perms::owner_all);
  Environment env = programEnvironment(dir.path, true);
  env.push_back({"XDG_RUNTIME_DIR", (dir / "runtime").string()});
  env.push_back({"HOME", dir.string()});
  env.push_back({"XDG_CONFIG_HOME", (dir / "config").string()});
  return env;
}

std::string duration(const fs::path& file) {
  return shell("ffprobe -v error -show_entries format=duration -of csv=p=0 " + file.string()).out;
}

TEST(ProgramSignals, EndTheProgramThroughAStartUpBoxAndFinaliseTheRecording) {
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(strsignal(signal));
    const ScratchDir dir("vz-signals");
    const fs::path out = dir / "black.mkv";
    const fs::path log = dir / "program.log";
    // No camera: the start-up box stays open; the recording starts beside it, black.
    Child program({VZ_PROGRAM_PATH, "--midi", "none", "--osc-port", "0", "--record", out.string()},
                  log.string(), isolated(dir));
    std::error_code ec;
    ASSERT_TRUE(
        waitFor([&] { return fs::file_size(out, ec) >= 1000 && !ec; }, std::chrono::seconds(60)))
        << readFile(log);
    const int status = program.stop(signal, std::chrono::seconds(30));
    ASSERT_TRUE(WIFEXITED(status)) << status << "\n" << readFile(log);
    EXPECT_EQ(WEXITSTATUS(status), 0) << readFile(log);
    EXPECT_NE(readFile(log).find("recorded " + out.string()), std::string::npos) << readFile(log);
    EXPECT_GT(std::atof(duration(out).c_str()), 0.0) << duration(out);
  }
}

// A file-size limit ends the recording that reaches it, as a full disk does (its box, its
// line), not the program; a signal then closes that box and ends the program cleanly.
TEST(ProgramSignals, AFileSizeLimitEndsOnlyTheRecording) {
  const ScratchDir dir("vz-fsize");
  const fs::path out = dir / "limited.mkv";
  const fs::path log = dir / "program.log";
  constexpr int kLimit = 40000;
  Child program({"prlimit", "--fsize=" + std::to_string(kLimit), VZ_PROGRAM_PATH, "--midi", "none",
                 "--osc-port", "0", "--record", out.string(), "--record-codec", "ffv1",
                 clipPath("halves_mpeg1.mpg")},
                log.string(), isolated(dir));
  ASSERT_TRUE(waitFor([&] { return readFile(log).find("recorded ") != std::string::npos; },
                      std::chrono::seconds(120)))
      << readFile(log);
  const int status = program.stop(SIGTERM, std::chrono::seconds(30));
  ASSERT_TRUE(WIFEXITED(status)) << status << "\n" << readFile(log);
  EXPECT_EQ(WEXITSTATUS(status), 0) << readFile(log);
  const std::string said = readFile(log);
  EXPECT_EQ(said.find("recorded "), said.rfind("recorded ")) << said;  // one take, one line
  EXPECT_LE(fs::file_size(out), static_cast<uintmax_t>(kLimit));
}

}  // namespace
}  // namespace vz::test
