// SPDX-License-Identifier: GPL-3.0-or-later
// The frame filter: options in order, its errors, the dump, and frames through the engine.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "presets/bank_file.h"
#include "presets/preset_slot.h"
#include "tests/child_process.h"
#include "tests/scratch_dir.h"
#include "tests/special_files.h"
#include "tests/test_frames.h"
#include "tools/fx_options.h"
#include "tools/fx_stream.h"

namespace vz::test {
namespace {

class FrameFilter : public ::testing::Test {
 protected:
  static inline VideoEngine e;
  ScratchDir dir{"vz-fx"};
  void SetUp() override { e = VideoEngine(); }
  std::string writeFile(const std::string& name, const std::string& bytes) {
    return test::writeFile(dir / name, bytes);
  }
  FxRun apply(std::vector<std::string> args) { return applyFxOptions(args, e); }
};

TEST_F(FrameFilter, OptionsApplyInTheOrderGiven) {
  VideoEngine source;
  source.gainRed = 40, source.mode = 6, source.lowPassBlue = 9;
  storeSlot(source, 5);  // F
  const std::string path = (dir / "looks.pvl").string();
  saveBankFile(path, source);
  std::string ints;
  for (int i = 0; i < 48; ++i) ints += std::to_string(i * 1000 - 20000) + (i % 7 ? " " : "\n");

  FxRun run = apply({"--size", "8x6", "--gain", "1,2,3", "--bank", path, "--preset", "f"});
  EXPECT_EQ(run.width * 10 + run.height, 86);
  EXPECT_EQ(e.gainRed, 40);  // the recall replaced the earlier gain
  EXPECT_EQ(e.mode, 6);
  EXPECT_EQ(e.lowPassBlue, 9);
  apply({"--size=2x2", "--preset", "F", "--gain=5,6,7", "--mode", "lut2", "--tint", "767,0,1",
         "--palette", writeFile("p.txt", ints)});
  EXPECT_EQ(e.gainBlue, 7);  // and a later option wins over the recall
  EXPECT_EQ(e.mode, 5);
  EXPECT_EQ(e.tintRed, 767);
  EXPECT_EQ(e.paletteRed[0] + e.paletteGreen[0] + e.paletteBlue[15], -20000 - 4000 + 27000);
  apply({"--size", "2x2", "--preset", "Z"});  // never stored: all zero
  EXPECT_EQ(e.gainRed, 0);
  EXPECT_EQ(e.paletteRed[0], 0);
}

TEST_F(FrameFilter, PaletteEditorOptionsApplyInOrder) {
  apply({"--size", "1x1", "--current", "10,20,30", "--range", "--pick", "15", "--pick", "0",
         "--pick", "3"});
  EXPECT_EQ(e.paletteGreen[3], 20);  // then the default ramp blended into itself
  EXPECT_EQ(e.paletteRed[0] * 1000 + e.paletteRed[4] + e.rampState, 240176);
  apply({"--size", "1x1", "--current", "254,1,1", "--random", "--cycle", "1", "--mode", "lut"});
  EXPECT_EQ(e.paletteGreen[0] + e.paletteGreen[15], 0);
  EXPECT_EQ(e.cycleRandom.next(), Rand15().next());  // the cycling's sequence is untouched
}

TEST_F(FrameFilter, BadUsageIsOneClearErrorThatEchoesNoRawBytes) {
  const std::string shortBank = writeFile("short.pvl", std::string(1000, 'x'));
  const std::string fewInts = writeFile("few.txt", "1 2 3");
  const std::string badInt = writeFile("bad.txt", std::string(47 * 2, ' ') + "x");
  const std::string binary = writeFile("bin.txt", "1 2 \x1b[2J\x01\xff\xc2\x9b");
  // Options after a --size 4x4 unless they give a size of their own.
  const std::string longBank = writeFile("long.pvl", std::string(3841, 'x'));
  std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--bogus"}, "unknown option '--bogus'"},
      {{"--gain"}, "--gain: a value is missing"},
      {{"--tint", "0,0,768"}, "--tint: 768 is out of range (0..767)"},
      {{"--gain", "1,2"}, "expected R,G,B"},
      {{"--mode", "sepia"}, "unknown mode"},
      {{"--size", "0x10"}, "out of range"},
      {{"--size", "10"}, "expected WxH"},
      {{"--preset", "1"}, "expected a letter"},
      {{"--frames", "-1"}, "out of range"},
      {{"--floor", "12a"}, "'12a' is not a whole number"},
      {{"--floor", "99999999999999999999"}, "99999999999999999999 is out of range"},
      {{"--ramp=1"}, "--ramp takes no value"},
      {{"--bank", (dir / "missing.pvl").string()}, "cannot open"},
      {{"--bank", shortBank}, "is 1000 bytes"},
      {{"--bank", longBank}, "is not a bank file (more than 3840 bytes long)"},
      {{"--palette", fewInts}, "holds 3 values"},
      {{"--palette", badInt}, "'x' is not a whole number"},
      {{"--palette", binary}, "'\\x1b[2J\\x01\\xff\\xc2\\x9b' is not a whole"},
      {{"--mode", "lut"}, "--size WxH is required"},
  };
  // Never opened, so a named pipe cannot hold the filter up.
  for (const auto& [path, kind] : makeSpecialFiles(dir.path)) {
    cases.push_back({{"--bank", path}, "--bank: '" + path + "' is not a bank file (" + kind + ")"});
    cases.push_back(
        {{"--palette", path}, "--palette: '" + path + "' is not a palette file (" + kind + ")"});
  }
  for (auto [args, message] : cases) {
    std::string what = "nothing thrown";
    if (args[0] != "--size" && message.find("--size") == std::string::npos)
      args.insert(args.begin(), {"--size", "4x4"});
    try {
      apply(args);
    } catch (const FxUsageError& error) {
      what = error.what();
    }
    EXPECT_NE(what.find(message), std::string::npos) << what;
  }
}

TEST_F(FrameFilter, DumpListsEverySettingInItsOrder) {
  apply({"--size", "1x1", "--tint", "1,2,3", "--cycle", "1", "--color", "77"});
  const std::string dump = dumpSettings(e);
  EXPECT_EQ(std::count(dump.begin(), dump.end(), '\n'), 48 + 9 + 20 + 1);
  EXPECT_EQ(dump.rfind("paletteRed[0] 240\npaletteRed[1] 224\n", 0), 0u);
  EXPECT_NE(dump.find("\npaletteBlue[15] 0\nmode 0\n"), std::string::npos);
  EXPECT_NE(dump.find("\nrampState 0\ntintRed 1\n"), std::string::npos);
  EXPECT_NE(dump.find("\ntintBlue 3\ncolorAmount 77\ncolorCycle 1\n"), std::string::npos);
}

// Frames run bottom row first through the engine: at unity, Overflow's one-pixel lag moves
// the picture one pixel right and one row UP.
TEST_F(FrameFilter, FramesRunBottomUpAsLiveAndComeBackTopDown) {
  const FxRun run = apply({"--size", "5x4", "--mode", "overflow", "--gain", "12,12,12", "--output",
                           "32,32,32", "--color", "100"});
  const Frame in = randomFrame(5, 4, 21);
  std::stringstream input(std::string(in.begin(), in.end())), output, err;
  ASSERT_EQ(filterFrames(run, e, input, output, err), 0);
  const std::string out = output.str();
  ASSERT_EQ(out.size(), in.size());
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x)
      for (int c = 0; c < 3; ++c) {
        const uint8_t got = static_cast<uint8_t>(out[(y * 5 + x) * 3 + c]);
        const int want = (x == 0 || y == 3) ? 0 : in[((y + 1) * 5 + x - 1) * 3 + c] * 255 / 256;
        ASSERT_EQ(got, want) << x << "," << y;
      }
  EXPECT_EQ(err.str(), "");
}

TEST_F(FrameFilter, WholeFramesAreWrittenAndShortInputReported) {
  struct Case {
    const char* frames;  // --frames, or none
    size_t status, outBytes;
    const char* message;
  };
  const Case cases[] = {{nullptr, 0, 24, "ignored a partial frame of 5 bytes at the end"},
                        {"3", 1, 24, "input ended after 2 whole frames, 3 were asked for"},
                        {"1", 0, 12, ""}};
  for (const Case& c : cases) {
    e = VideoEngine();
    FxRun run = apply({"--size", "2x2", "--mode", "negative"});
    if (c.frames) run.frames = std::stoi(c.frames);
    std::stringstream in(std::string(12 * 2 + 5, '\x10')), out, err;
    EXPECT_EQ(filterFrames(run, e, in, out, err), static_cast<int>(c.status));
    EXPECT_EQ(out.str(), std::string(c.outBytes, '\xEF'));
    EXPECT_EQ(err.str(), *c.message ? "videozarnix-fx: " + std::string(c.message) + "\n" : "");
  }
  FxRun run = apply({"--size", "1x1", "--mode", "overflow", "--cycle", "1", "--tint", "766,0,0"});
  std::stringstream in(std::string(9, '\0')), out, err;
  EXPECT_EQ(filterFrames(run, e, in, out, err), 0);
  EXPECT_EQ(e.tintRed, 1);  // three frames, one step each, wrapped
}

TEST(FrameFilterBinary, ExitStatusesOutputAndMessages) {
  const ScratchDir dir("vz-fx");
  const std::string in = writeFile(dir / "in", std::string(6, '\x0F')), errFile = dir / "err";
#if defined(__SANITIZE_ADDRESS__)
  const bool memoryCap = false;  // the sanitizer's own reservations do not fit under a cap
#else
  const bool memoryCap = true;
#endif
  struct Case {
    std::string before, args, stdinFrom;  // a shell prefix, the options, the input
    int status;
    std::string out, message;
  };
  const std::string big = "--size 16384x16384", cap = "ulimit -v 100000; ";
  const Case cases[] = {
      {"", "--size 2x1 --gain 300,0,0", in, 2, "", "--gain: 300 is out of range"},
      {"", "--size 2x1 --mode negative", in, 0, std::string(6, '\xF0'), ""},
      {"", "--help", in, 0, std::string(fxUsage()), ""},
      {"", "--size 2x1", "/", 1, "", "could not read the input after 0 whole frames"},
      {"exec <&-; ", "--size 2x1", "", 1, "", "could not read the input after 0 whole frames"},
      {cap, big, "/dev/null", 0, "", ""},  // nothing is allocated before the input comes
      {cap + "head -c 200000000 /dev/zero | ", big, "", 1, "", "not enough memory"},
  };
  for (const Case& c : cases) {
    if (!memoryCap && c.before.find("ulimit") != std::string::npos) continue;
    SCOPED_TRACE(c.before + c.args);
    const Ran r = shell("{ " + c.before + VZ_FX_PATH + " " + c.args +
                        (c.stdinFrom.empty() ? "" : " < " + c.stdinFrom) + "; } 2>" + errFile);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.out, c.out);
    const std::string err = readFile(errFile);
    EXPECT_EQ(err.empty(), c.message.empty()) << err;
    EXPECT_NE(err.find(c.message), std::string::npos) << err;
  }
}

}  // namespace
}  // namespace vz::test
