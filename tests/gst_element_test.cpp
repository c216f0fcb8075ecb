// SPDX-License-Identifier: GPL-3.0-or-later
// The zarnix element: byte for byte as videozarnix-fx, buffers passed through when there is
// nothing to do, bad values refused with a warning, automation, the command-line tools, and
// which looks may skip reordering the rows; fades between presets.
#include <gst/controller/gstdirectcontrolbinding.h>
#include <gst/controller/gsttriggercontrolsource.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <vector>

#include "engine/effect_mode.h"
#include "engine/frame_settings.h"
#include "engine/row_order.h"
#include "engine/setting_names.h"
#include "gst/zarnix_element.h"
#include "presets/bank_bytes.h"
#include "presets/bank_file.h"
#include "presets/preset_slot.h"
#include "tests/child_process.h"
#include "tests/gst_test_support.h"
#include "tests/scratch_dir.h"
#include "tests/special_files.h"

namespace vz::test {
namespace {

namespace fs = std::filesystem;

std::string repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

class Zarnix : public ::testing::Test {
 protected:
  ScratchDir dir{"vz-gst"};

  // The plugin as built, with a registry of this test's own.
  Environment gstTools() const {
    Environment env = toolEnvironment();
    env.insert(env.end(), {{"GST_PLUGIN_PATH", VZ_GST_PLUGIN_DIR},
                           {"GST_REGISTRY", (dir / "registry.bin").string()}});
    return env;
  }
};

TEST_F(Zarnix, MatchesTheFilterForRandomLooksAndOddSizes) {
  std::mt19937 gen(13);
  // Rows padded by 0 (16, 64), 1 (1, 5, 13, 33), 2 (2) and 3 (7) filler bytes.
  const std::pair<int, int> sizes[] = {{1, 1},  {2, 3},  {5, 7},   {7, 6},
                                       {13, 9}, {16, 4}, {33, 17}, {64, 31}};
  for (const auto& [w, h] : sizes) {
    for (int round = 0; round < 12; ++round) {
      const Look look = randomLook(gen, dir);
      const Frame frames = randomFrame(w, h * 3, static_cast<uint32_t>(gen()));  // three frames
      GstHarness* harness = newZarnixHarness(w, h);
      setProperties(harness->element, look);
      const Frame got = pushFrames(harness, frames, w, h);
      gst_harness_teardown(harness);
      const Frame want = runFilter(look, frames, w, h);
      std::string properties;
      for (const auto& [name, value] : look.properties) properties += name + "=" + value + " ";
      ASSERT_TRUE(got == want) << w << "x" << h << " round " << round << ": " << properties;
    }
  }
}

TEST_F(Zarnix, PassesBuffersThroughUntouchedWhenTheLookChangesNothing) {
  GstHarness* h = newZarnixHarness(4, 2);
  struct Case {
    const char* property;
    const char* value;
    bool same;
  };
  const Case cases[] = {{"mode", "source", true},    {"mode", "unchanged", true},
                        {"mirror", "1", false},      {"mirror", "0", true},
                        {"mode", "negative", false}, {"mode", "source", true}};
  for (const Case& c : cases) {
    gst_util_set_object_arg(G_OBJECT(h->element), c.property, c.value);
    GstBuffer* in = gst_buffer_new_and_alloc(4 * 3 * 2);
    gst_buffer_memset(in, 0, 7, 24);
    gst_buffer_ref(in);  // held here too: the element may not write into it
    gst_harness_push(h, in);
    GstBuffer* out = gst_harness_pull(h);
    EXPECT_EQ(out == in, c.same) << c.property << "=" << c.value;
    guint8 first = 0;
    gst_buffer_extract(in, 0, &first, 1);
    EXPECT_EQ(first, 7);
    gst_buffer_unref(out);
    gst_buffer_unref(in);
  }
  gst_harness_teardown(h);
}

TEST_F(Zarnix, RefusesBadValuesWithAWarningAndKeepsItsLook) {
  const std::string shortBank = writeFile(dir / "short.pvl", std::string(kBankBytes - 1, '\1'));
  const std::string longBank = writeFile(dir / "long.pvl", std::string(kBankBytes + 1, '\1'));
  const std::string missing = (dir / "missing.pvl").string();
  struct Case {
    const char* property;
    std::string value;
    bool busWarning;      // else GObject's own range warning
    std::string message;  // the warning's text: which value of which property, and why
  };
  std::vector<Case> cases = {
      {"bank-file", missing, true,
       "Property 'bank-file' refused: cannot open bank file " + missing + ": no such file"},
      {"bank-file", shortBank, true,
       "Property 'bank-file' refused: " + shortBank +
           " is not a bank file (3839 bytes long; a bank is 3840 bytes)"},
      {"bank-file", longBank, true,
       "Property 'bank-file' refused: " + longBank +
           " is not a bank file (more than 3840 bytes long; a bank is 3840 bytes)"},
      {"bank-file", "", true, "Property 'bank-file' refused: an empty file name"},
      {"preset", "", true, "Property 'preset' refused: '' is not a letter A..Z"},
      {"preset", "AB", true, "Property 'preset' refused: 'AB' is not a letter A..Z"},
      {"preset", "1", true, ""},
      {"preset", "\xc3\xa9", true, ""},
      {"palette", "1 2 3", true,
       "Property 'palette' refused: 3 values given, 48 are needed (16 red, 16 green, 16 blue)"},
      {"palette", "x" + repeat(" 1", 47), true,
       "Property 'palette' refused: value 1 (red entry 0), 'x', is not a whole number"},
      {"palette", repeat("1 ", 20) + "1.5" + repeat(" 1", 27), true,
       "Property 'palette' refused: value 21 (green entry 4), '1.5', is not a whole number"},
      {"palette", repeat("1 ", 49), true,
       "Property 'palette' refused: more than 48 values given, 48 are needed (16 red, 16 "
       "green, 16 blue)"},
      {"palette", repeat("0 ", 47) + "2000000", true,
       "Property 'palette' refused: value 48 (blue entry 15), 2000000, is out of range "
       "(-1000000..1000000)"},
      {"gain-red", "256", false, ""},
      {"tint-blue", "768", false, ""},
      {"lowpass-green", "-1", false, ""},
      {"mirror", "256", false, ""},
      {"invert-red", "300", false, ""},
  };
  // Never opened, so a named pipe cannot hold the caller up.
  for (const auto& [path, kind] : makeSpecialFiles(dir.path))
    cases.push_back(
        {"bank-file", path, true,
         "Property 'bank-file' refused: " + path + " is not a bank file (" + kind + ")"});
  std::mt19937 gen(7);
  const Look look = randomLook(gen, dir);
  const Frame frames = randomFrame(7, 5, 3);
  for (const auto& c : cases) {
    GstHarness* h = newZarnixHarness(7, 5);
    GstBus* bus = gst_bus_new();
    gst_element_set_bus(h->element, bus);
    setProperties(h->element, look);
    const std::string paletteBefore = stringProperty(h->element, "palette");
    const int warningsBefore = objectWarnings.load();
    gst_util_set_object_arg(G_OBJECT(h->element), c.property, c.value.c_str());
    GstMessage* warning = gst_bus_pop_filtered(bus, GST_MESSAGE_WARNING);
    EXPECT_EQ(warning != nullptr, c.busWarning) << c.property << "=" << c.value;
    if (warning && !c.message.empty()) {
      GError* error = nullptr;
      gst_message_parse_warning(warning, &error, nullptr);
      EXPECT_EQ(error->message, c.message);
      g_error_free(error);
    }
    if (warning) gst_message_unref(warning);
    EXPECT_EQ(objectWarnings.load() > warningsBefore, !c.busWarning) << c.property;
    EXPECT_EQ(stringProperty(h->element, "palette"), paletteBefore);
    EXPECT_TRUE(pushFrames(h, frames, 7, 5) == runFilter(look, frames, 7, 5))
        << c.property << "=" << c.value;
    gst_element_set_bus(h->element, nullptr);
    gst_object_unref(bus);
    gst_harness_teardown(h);
  }
}

TEST_F(Zarnix, RefusesFormatsOtherThanBgr) {
  GstHarness* h = gst_harness_new("zarnix");
  gst_harness_set_src_caps_str(h, "video/x-raw,format=RGB,width=4,height=2,framerate=25/1");
  EXPECT_EQ(gst_harness_push(h, gst_buffer_new_and_alloc(24)), GST_FLOW_NOT_NEGOTIATED);
  gst_harness_teardown(h);
}

// A recall reads back as the bank's bytes: its palette as stored, a mode byte past the last
// mode as "unchanged".
TEST_F(Zarnix, ARecallReadsBackTheBanksBytesAndHighModesAsUnchanged) {
  auto e = std::make_unique<VideoEngine>();
  e->mode = 57, e->paletteRed[0] = -3;
  storeSlot(*e, 2);
  const std::string bank = (dir / "b.pvl").string();
  saveBankFile(bank, *e);

  GstElement* z = gst_element_factory_make("zarnix", nullptr);
  g_object_set(z, "mode", 6, "bank-file", bank.c_str(), "preset", "c", nullptr);
  gint mode = -1;
  g_object_get(z, "mode", &mode, nullptr);
  EXPECT_EQ(mode, kEffectModeCount);                                // unchanged
  EXPECT_EQ(stringProperty(z, "palette").substr(0, 7), "253 224");  // a bank holds bytes
  gst_object_unref(z);
}

TEST_F(Zarnix, ControllerAutomatesProperties) {
  GstHarness* h = newZarnixHarness(6, 3);
  g_object_set(h->element, "mode", 4, nullptr);  // colorinvert
  GstControlSource* source = gst_trigger_control_source_new();
  gst_timed_value_control_source_set(GST_TIMED_VALUE_CONTROL_SOURCE(source), 0, 1.0);
  gst_object_add_control_binding(
      GST_OBJECT(h->element),
      gst_direct_control_binding_new_absolute(GST_OBJECT(h->element), "invert-green", source));
  gst_object_unref(source);
  const Frame frame = randomFrame(6, 3, 4);
  Look look;
  look.fxArgs = {"--mode", "colorinvert", "--invert", "0,1,0"};
  EXPECT_TRUE(pushFrames(h, frame, 6, 3) == runFilter(look, frame, 6, 3));
  gst_harness_teardown(h);
}

// The element hands the look its frames top row first and skips the reordering the filter
// does whenever the look is row-local; row-local must mean exactly that, and the other looks
// must really need the reordering. (Padded rows through the element: the harness tests.)
TEST(RowOrder, OnlyLowPassAndSmearDependOnIt) {
  std::mt19937 gen(21);
  auto e = std::make_unique<VideoEngine>();
  for (int mode : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 12}) {
    for (bool lowPass : {false, true}) {
      bool orderMattered = false;
      for (const auto& [w, h] : {std::pair{9, 7}, std::pair{16, 12}, std::pair{37, 5}}) {
        randomizeLook(*e, gen);
        if (w == 9) {  // a look that keeps the picture, so that any reordering would show
          setUnity(*e);
          e->lutMaskRed = 15;
        }
        e->mode = static_cast<uint8_t>(mode);
        e->mirror = static_cast<uint8_t>(gen() % 2);
        e->lowPassRed = e->lowPassGreen = e->lowPassBlue = lowPass ? 2 + gen() % 6 : 0;
        const FrameSettings s = takeSnapshot(*e);
        const Frame original = randomFrame(w, h, static_cast<uint32_t>(gen()));
        const size_t rowBytes = static_cast<size_t>(w) * 3;
        auto flipped = [&](Frame f) {
          for (int y = 0; y < h / 2; ++y)
            std::swap_ranges(f.begin() + y * rowBytes, f.begin() + (y + 1) * rowBytes,
                             f.begin() + (h - 1 - y) * rowBytes);
          return f;
        };
        Frame asFilter = flipped(original);
        e->processFrame(asFilter.data(), w, h);
        asFilter = flipped(asFilter);
        Frame topDown = original;
        e->processFrame(topDown.data(), w, h);
        if (isRowLocal(s)) {
          EXPECT_EQ(topDown, asFilter) << "mode " << mode;
        }
        orderMattered |= topDown != asFilter;
      }
      const bool rowLocal = isRowLocal(takeSnapshot(*e));
      EXPECT_EQ(orderMattered, !rowLocal) << "mode " << mode << " low-pass " << lowPass;
    }
  }
}

// Every property is listed with its description and flags: controllable, which binds it to a
// control source, unless it is text (palette, bank file, preset), which no control source gives.
TEST_F(Zarnix, InspectListsEveryPropertyAndTheControllableOnesBind) {
  const Ran inspect = shell("gst-inspect-1.0 zarnix", gstTools());
  ASSERT_EQ(inspect.status, 0) << inspect.out;
  const std::string& text = inspect.out;
  GstElement* z = gst_element_factory_make("zarnix", nullptr);
  guint count = 0;
  GParamSpec** pspecs = g_object_class_list_properties(G_OBJECT_GET_CLASS(z), &count);
  const int warningsBefore = objectWarnings.load();
  int ours = 0, bound = 0;
  for (guint i = 0; i < count; ++i) {
    GParamSpec* p = pspecs[i];
    if (p->owner_type != G_OBJECT_TYPE(z)) continue;
    ++ours;
    if (!G_IS_PARAM_SPEC_STRING(p)) {
      GstControlSource* source = gst_trigger_control_source_new();
      bound += gst_object_add_control_binding(
          GST_OBJECT(z), gst_direct_control_binding_new_absolute(GST_OBJECT(z), p->name, source));
      gst_object_unref(source);
    }
    const size_t at = text.find("\n  " + std::string(p->name) + " ");
    ASSERT_NE(at, std::string::npos) << p->name;
    size_t end = at + 1;  // the block runs to the next line indented by exactly two spaces
    while ((end = text.find("\n  ", end + 1)) != std::string::npos && text[end + 3] == ' ') {
    }
    const std::string block = text.substr(at, end - at);
    EXPECT_NE(block.find(g_param_spec_get_blurb(p)), std::string::npos) << p->name;
    EXPECT_EQ(block.find("controllable") != std::string::npos, !G_IS_PARAM_SPEC_STRING(p))
        << p->name;
    EXPECT_NE(block.find("PLAYING"), std::string::npos) << p->name;
    EXPECT_NE(block.find(G_IS_PARAM_SPEC_INT(p) ? "Range: " : "Default: "), std::string::npos);
    if (G_IS_PARAM_SPEC_ENUM(p)) {
      EXPECT_NE(block.find("Default: 0, \"source\""), std::string::npos) << block;
      for (const char* nick : kModeNames) EXPECT_NE(block.find(nick), std::string::npos);
      EXPECT_NE(block.find("(10): unchanged"), std::string::npos);
    }
  }
  // mode, mirror, cycle; the numbers; inverts; the strings; the fade
  EXPECT_EQ(ours, 3 + 20 + 3 + 3 + 1);
  EXPECT_EQ(bound, ours - 3);
  EXPECT_EQ(objectWarnings.load(), warningsBefore);  // no critical on the way
  g_free(pspecs);
  gst_object_unref(z);
}

TEST_F(Zarnix, GstLaunchWithThePluginAsBuiltMatchesTheFilter) {
  std::mt19937 gen(99);
  const int w = 36, h = 17;  // a height that reorders unevenly; rows need no padding
  for (int round = 0; round < 2; ++round) {
    const Look look = randomLook(gen, dir);
    const Frame frames = randomFrame(w, h * 4, static_cast<uint32_t>(gen()));
    const fs::path in = dir / "in.raw", got = dir / "got.raw";
    writeFile(in, std::string(frames.begin(), frames.end()));
    std::string launch = "gst-launch-1.0 -q filesrc location='" + in.string() +
                         "' ! rawvideoparse width=36 height=17 format=bgr ! zarnix";
    for (const auto& [name, value] : look.properties) launch += " " + name + "=\"" + value + "\"";
    launch += " ! filesink location='" + got.string() + "'";
    const Ran run = shell(launch, gstTools());
    ASSERT_EQ(run.status, 0) << launch << "\n" << run.out;
    const Frame want = runFilter(look, frames, w, h);
    EXPECT_TRUE(readFile(got) == std::string(want.begin(), want.end())) << launch;
  }
}

// A change of preset with `fade` set equals the filter's --fade-to frame for frame, padded rows
// included, into looks that would otherwise pass frames untouched.
TEST_F(Zarnix, APresetChangeFadesAsTheFilterFadesFrameForFrame) {
  std::mt19937 gen(11);
  auto bank = std::make_unique<VideoEngine>();
  for (int slot = 0; slot < 26; ++slot) {
    randomizeLook(*bank, gen);
    bank->mode = static_cast<uint8_t>(slot % 10);  // B (slot 1) Overflow ... K (slot 10) Source
    bank->mirror = 0;
    storeSlot(*bank, slot);
  }
  const std::string bankPath = (dir / "looks.pvl").string();
  saveBankFile(bankPath, *bank);
  constexpr int kW = 13, kH = 7;  // padded rows: 39 bytes in a 40-byte stride
  // 0.28 s at the harness's 25 frames per second: 7 frames.
  for (const auto& [from, to] : {std::pair{"B", "G"}, std::pair{"G", "K"}, std::pair{"K", "D"}}) {
    GstHarness* h = newZarnixHarness(kW, kH);
    gst_util_set_object_arg(G_OBJECT(h->element), "bank-file", bankPath.c_str());
    gst_util_set_object_arg(G_OBJECT(h->element), "preset", from);
    const Frame before = randomFrame(kW, kH * 2, 5), after = randomFrame(kW, kH * 9, 6);
    const Frame shownBefore = pushFrames(h, before, kW, kH);
    g_object_set(h->element, "fade", 0.28, "preset", to, nullptr);
    const Frame shownAfter = pushFrames(h, after, kW, kH);
    gst_harness_teardown(h);

    EXPECT_EQ(shownBefore, runFilter({{"--bank", bankPath, "--preset", from}, {}}, before, kW, kH));
    EXPECT_EQ(
        shownAfter,
        runFilter(
            {{"--bank", bankPath, "--preset", from, "--fade-to", to, "--fade-frames", "7"}, {}},
            after, kW, kH))
        << from << " into " << to;
  }
}

}  // namespace
}  // namespace vz::test
