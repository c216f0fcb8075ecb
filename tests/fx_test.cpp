// The frame filter: options in order, its errors, the dump, and frames through the engine.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "presets/bank_bytes.h"
#include "presets/preset_slot.h"
#include "tests/test_frames.h"
#include "tools/fx_options.h"
#include "tools/fx_stream.h"

namespace vz::test {
namespace {

namespace fs = std::filesystem;

class FrameFilter : public ::testing::Test {
 protected:
  static inline VideoEngine e;
  fs::path dir;
  void SetUp() override {
    e = VideoEngine();
    dir = fs::temp_directory_path() /
          ("vz-fx-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  std::string writeFile(const std::string& name, const std::string& bytes) {
    const fs::path p = dir / name;
    std::ofstream(p, std::ios::binary) << bytes;
    return p.string();
  }
  FxRun apply(std::vector<std::string> args) { return applyFxOptions(args, e); }
};

TEST_F(FrameFilter, OptionsApplyInTheOrderGivenAndPresetsRecallWholeSlots) {
  VideoEngine source;
  source.gainRed = 40, source.mode = 6, source.lowPassBlue = 9;
  storeSlot(source, 5);  // F
  uint8_t bank[kBankBytes];
  encodeBank(source, bank);
  const std::string path = writeFile("looks.pvl", std::string(bank, bank + kBankBytes) + "extra");

  FxRun run = apply({"--size", "8x6", "--gain", "1,2,3", "--bank", path, "--preset", "f"});
  EXPECT_EQ(run.width, 8);
  EXPECT_EQ(run.height, 6);
  EXPECT_EQ(e.gainRed, 40);  // the recall replaced the earlier gain
  EXPECT_EQ(e.mode, 6);
  EXPECT_EQ(e.lowPassBlue, 9);

  apply({"--size=2x2", "--preset", "F", "--gain=5,6,7", "--mode", "lut2", "--tint", "767,0,1"});
  EXPECT_EQ(e.gainRed, 5);  // and a later option wins over the recall
  EXPECT_EQ(e.gainBlue, 7);
  EXPECT_EQ(e.mode, 5);
  EXPECT_EQ(e.tintRed, 767);

  apply({"--size", "2x2", "--preset", "Z"});  // never stored: all zero
  EXPECT_EQ(e.gainRed, 0);
  EXPECT_EQ(e.paletteRed[0], 0);
}

TEST_F(FrameFilter, PaletteFileSetsAllThreeChannels) {
  std::string ints;
  for (int i = 0; i < 48; ++i) ints += std::to_string(i * 1000 - 20000) + (i % 7 ? " " : "\n");
  apply({"--size", "1x1", "--palette", writeFile("p.txt", ints)});
  EXPECT_EQ(e.paletteRed[0], -20000);
  EXPECT_EQ(e.paletteGreen[0], -4000);
  EXPECT_EQ(e.paletteBlue[15], 27000);
}

TEST_F(FrameFilter, PaletteEditorOptionsApplyInOrder) {
  apply({"--size", "1x1", "--current", "10,20,30", "--range", "--pick", "15", "--pick", "0",
         "--pick", "3"});
  EXPECT_EQ(e.paletteGreen[3], 20);
  EXPECT_EQ(e.paletteRed[0], 240);  // the default ramp blended into itself
  EXPECT_EQ(e.paletteRed[4], 176);
  EXPECT_EQ(e.rampState, 0);
  apply({"--size", "1x1", "--current", "254,1,1", "--random", "--cycle", "1", "--mode", "lut"});
  for (int k = 0; k < kPaletteSize; ++k) EXPECT_EQ(e.paletteGreen[k], 0);
  Rand15 fresh;
  EXPECT_EQ(e.cycleRandom.next(), fresh.next());  // the cycling's sequence is untouched
  EXPECT_THROW(apply({"--size", "1x1", "--pick", "16"}), FxUsageError);
  EXPECT_THROW(apply({"--size", "1x1", "--current", "256,0,0"}), FxUsageError);
  EXPECT_THROW(apply({"--size", "1x1", "--ramp=1"}), FxUsageError);
}

TEST_F(FrameFilter, BadUsageIsOneClearError) {
  const std::string shortBank = writeFile("short.pvl", std::string(1000, 'x'));
  const std::string fewInts = writeFile("few.txt", "1 2 3");
  const std::string badInt = writeFile("bad.txt", std::string(47 * 2, ' ') + "x");
  const std::vector<std::vector<std::string>> cases = {
      {"--size", "4x4", "--bogus"},
      {"--size", "4x4", "--gain"},
      {"--size", "4x4", "--tint", "0,0,768"},
      {"--size", "4x4", "--gain", "1,2"},
      {"--size", "4x4", "--gain", "1,2,3,4"},
      {"--size", "4x4", "--mode", "sepia"},
      {"--size", "4x4", "--mode", "256"},
      {"--size", "0x10"},
      {"--size", "10"},
      {"--size", "4x4", "--preset", "1"},
      {"--size", "4x4", "--preset", "AB"},
      {"--size", "4x4", "--cycle", "2"},
      {"--size", "4x4", "--frames", "-1"},
      {"--size", "4x4", "--floor", "12a"},
      {"--size", "4x4", "--bank", (dir / "missing.pvl").string()},
      {"--size", "4x4", "--bank", shortBank},
      {"--size", "4x4", "--palette", fewInts},
      {"--size", "4x4", "--palette", badInt},
      {"--size", "4x4", "--help=yes"},
      {"--mode", "lut"},  // no size
  };
  for (const auto& args : cases) {
    std::string joined;
    for (const auto& a : args) joined += a + " ";
    EXPECT_THROW(apply(args), FxUsageError) << joined;
  }
  try {
    apply({"--size", "4x4", "--tint", "0,0,768"});
  } catch (const FxUsageError& error) {
    EXPECT_STREQ(error.what(), "--tint: 768 is out of range (0..767)");
  }
}

TEST_F(FrameFilter, DumpListsEverySettingInItsOrder) {
  apply({"--size", "1x1", "--tint", "1,2,3", "--cycle", "1", "--color", "77"});
  std::istringstream dump(dumpSettings(e));
  std::vector<std::string> names;
  std::string name, value;
  std::map<std::string, std::string> values;
  while (dump >> name >> value) names.push_back(name), values[name] = value;
  ASSERT_EQ(names.size(), 48u + 9 + 20 + 1);
  EXPECT_EQ(names[0], "paletteRed[0]");
  EXPECT_EQ(names[47], "paletteBlue[15]");
  EXPECT_EQ(names[48], "mode");
  EXPECT_EQ(names[56], "rampState");
  EXPECT_EQ(names[57], "tintRed");
  EXPECT_EQ(names[75], "tintBlue");
  EXPECT_EQ(names[76], "colorAmount");
  EXPECT_EQ(names[77], "colorCycle");
  EXPECT_EQ(values["paletteRed[1]"], "224");
  EXPECT_EQ(values["tintBlue"], "3");
  EXPECT_EQ(values["colorAmount"], "77");
  EXPECT_EQ(values["colorCycle"], "1");
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

TEST_F(FrameFilter, PartialFramesAndShortInput) {
  FxRun run = apply({"--size", "2x2", "--mode", "negative", "--cycle", "1"});
  const std::string twoAndABit(12 * 2 + 5, '\x10');
  std::stringstream in1(twoAndABit), out1, err1;
  EXPECT_EQ(filterFrames(run, e, in1, out1, err1), 0);
  EXPECT_EQ(out1.str(), std::string(24, '\xEF'));
  EXPECT_NE(err1.str().find("partial frame of 5 bytes"), std::string::npos);

  run = apply({"--size", "2x2", "--frames", "3"});
  std::stringstream in2(twoAndABit), out2, err2;
  EXPECT_EQ(filterFrames(run, e, in2, out2, err2), 1);
  EXPECT_EQ(out2.str().size(), 24u);  // the whole frames were written first
  EXPECT_NE(err2.str().find("after 2 whole frames, 3 were asked for"), std::string::npos);

  run = apply({"--size", "2x2", "--frames", "1"});
  std::stringstream in3(twoAndABit), out3, err3;
  EXPECT_EQ(filterFrames(run, e, in3, out3, err3), 0);
  EXPECT_EQ(out3.str().size(), 12u);
}

TEST_F(FrameFilter, CyclingAdvancesOnceAfterEveryFrame) {
  FxRun run = apply({"--size", "1x1", "--mode", "overflow", "--cycle", "1", "--tint", "766,0,0"});
  std::stringstream in(std::string(9, '\0')), out, err;
  EXPECT_EQ(filterFrames(run, e, in, out, err), 0);
  EXPECT_EQ(e.tintRed, 1);  // 766 + 3, wrapped
}

std::string runBinary(const std::string& args, const std::string& input, int* status) {
  const fs::path in = fs::temp_directory_path() / "vz-fx-bin.in";
  std::ofstream(in, std::ios::binary) << input;
  const std::string command =
      std::string(VZ_FX_PATH) + " " + args + " < " + in.string() + " 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  std::string out;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  *status = WEXITSTATUS(pclose(pipe));
  fs::remove(in);
  return out;
}

TEST(FrameFilterBinary, ExitStatusesAndOutput) {
  int status = -1;
  EXPECT_EQ(runBinary("--size 2x1 --gain 300,0,0", std::string(6, 'a'), &status), "");
  EXPECT_EQ(status, 2);
  EXPECT_EQ(runBinary("--size 2x1 --mode negative", std::string(6, '\x0F'), &status),
            std::string(6, '\xF0'));
  EXPECT_EQ(status, 0);
  EXPECT_NE(runBinary("--help", "", &status).find("--size WxH"), std::string::npos);
  EXPECT_EQ(status, 0);
}

}  // namespace
}  // namespace vz::test
