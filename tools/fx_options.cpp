#include "tools/fx_options.h"

#include <array>
#include <cctype>
#include <charconv>
#include <forward_list>
#include <fstream>
#include <functional>
#include <sstream>

#include "engine/setting_table.h"
#include "engine/shared_value.h"
#include "palette/palette_editor.h"
#include "presets/bank_bytes.h"
#include "presets/look_text.h"
#include "presets/preset_slot.h"

namespace vz {

namespace {

[[noreturn]] void fail(const std::string& message) {
  throw FxUsageError(message);
}

int64_t parseInt(const std::string& option, const std::string& text, int64_t min, int64_t max) {
  int64_t value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end)
    fail(option + ": '" + text + "' is not a whole number");
  if (value < min || value > max)
    fail(option + ": " + text + " is out of range (" + std::to_string(min) + ".." +
         std::to_string(max) + ")");
  return value;
}

std::array<int32_t, 3> parseTriple(const std::string& option, const std::string& text, int max) {
  std::array<int32_t, 3> out{};
  size_t start = 0;
  for (int i = 0; i < 3; ++i) {
    const size_t comma = text.find(',', start);
    const bool last = i == 2;
    if (last != (comma == std::string::npos)) fail(option + ": expected R,G,B, got '" + text + "'");
    const std::string part = text.substr(start, last ? std::string::npos : comma - start);
    out[i] = static_cast<int32_t>(parseInt(option, part, 0, max));
    start = comma + 1;
  }
  return out;
}

std::string readFile(const std::string& option, const std::string& path, size_t limit) {
  std::ifstream in(path, std::ios::binary);
  if (!in) fail(option + ": cannot open '" + path + "'");
  std::string data(limit, '\0');
  in.read(data.data(), static_cast<std::streamsize>(limit));
  if (in.bad()) fail(option + ": cannot read '" + path + "'");
  data.resize(static_cast<size_t>(in.gcount()));
  return data;
}

uint8_t parseMode(const std::string& text) {
  for (int m = 0; m < kEffectModeCount; ++m)
    if (text == kEffectModeNames[m]) return static_cast<uint8_t>(m);
  if (!text.empty() && std::isdigit(static_cast<unsigned char>(text[0])))
    return static_cast<uint8_t>(parseInt("--mode", text, 0, 255));
  fail("--mode: unknown mode '" + text + "'");
}

void loadPalette(VideoEngine& e, const std::string& path) {
  std::string error;
  const auto values = parsePaletteText(readFile("--palette", path, 1 << 20), error);
  if (!values) fail("--palette: '" + path + "' " + error);
  storePalette(e, *values);
}

void loadBank(VideoEngine& e, const std::string& path) {
  const std::string data = readFile("--bank", path, kBankBytes);
  if (data.size() < kBankBytes)
    fail("--bank: '" + path + "' is " + std::to_string(data.size()) + " bytes, a bank is " +
         std::to_string(kBankBytes));
  uint8_t bytes[kBankBytes];
  for (size_t i = 0; i < kBankBytes; ++i) bytes[i] = static_cast<uint8_t>(data[i]);
  decodeBank(e, bytes);
}

int parseSlot(const std::string& text) {
  if (const auto slot = slotForLetter(text)) return *slot;
  fail("--preset: expected a letter A..Z, got '" + text + "'");
}

template <class T>
void setTriple(VideoEngine& e, T VideoEngine::*red, T VideoEngine::*green, T VideoEngine::*blue,
               const std::array<int32_t, 3>& v) {
  storeRelaxed(e.*red, v[0]);
  storeRelaxed(e.*green, v[1]);
  storeRelaxed(e.*blue, v[2]);
}

using Handler = std::function<void(const std::string& value, VideoEngine&, FxRun&)>;

struct Option {
  const char* name;
  bool takesValue;
  Handler apply;
};

std::vector<Option> options() {
  using E = VideoEngine;
  static std::forward_list<std::string> names;  // the option names the handlers quote
  auto triple = [](const char* name, int32_t E::*r, int32_t E::*g, int32_t E::*b, int max) {
    return Option{name, true, [=](const std::string& v, E& e, FxRun&) {
                    setTriple(e, r, g, b, parseTriple(name, v, max));
                  }};
  };
  auto single = [](const char* name, int32_t E::*field, int min, int max) {
    return Option{name, true, [=](const std::string& v, E& e, FxRun&) {
                    storeRelaxed(e.*field, parseInt(name, v, min, max));
                  }};
  };
  std::vector<Option> table = {
      {"--size", true,
       [](const std::string& v, E&, FxRun& run) {
         const size_t x = v.find('x');
         if (x == std::string::npos) fail("--size: expected WxH, got '" + v + "'");
         run.width = static_cast<int>(parseInt("--size", v.substr(0, x), 1, 16384));
         run.height = static_cast<int>(parseInt("--size", v.substr(x + 1), 1, 16384));
       }},
      {"--mode", true,
       [](const std::string& v, E& e, FxRun&) { storeRelaxed(e.mode, parseMode(v)); }},
      {"--invert", true,
       [](const std::string& v, E& e, FxRun&) {
         setTriple(e, &E::invertRed, &E::invertGreen, &E::invertBlue,
                   parseTriple("--invert", v, 255));
       }},
      {"--mirror", true,
       [](const std::string& v, E& e, FxRun&) {
         storeRelaxed(e.mirror, parseInt("--mirror", v, 0, 255));
       }},
      single("--cycle", &E::colorCycle, 0, 1),
      {"--palette", true, [](const std::string& v, E& e, FxRun&) { loadPalette(e, v); }},
      {"--bank", true, [](const std::string& v, E& e, FxRun&) { loadBank(e, v); }},
      {"--preset", true,
       [](const std::string& v, E& e, FxRun&) { recallSlotFields(e, parseSlot(v)); }},
      {"--current", true,
       [](const std::string& v, E& e, FxRun&) {
         const auto c = parseTriple("--current", v, 255);
         e.currentRed = c[0], e.currentGreen = c[1], e.currentBlue = c[2];
       }},
      {"--random", false,
       [](const std::string&, E& e, FxRun&) { generateRandom(e, e.paletteRandom); }},
      {"--ramp", false, [](const std::string&, E& e, FxRun&) { generateRamp(e, e.paletteRandom); }},
      {"--limit", false,
       [](const std::string&, E& e, FxRun&) { generateLimit(e, e.paletteRandom); }},
      {"--range", false, [](const std::string&, E& e, FxRun&) { armRange(e); }},
      {"--pick", true,
       [](const std::string& v, E& e, FxRun&) {
         pickPaletteEntry(e, static_cast<int>(parseInt("--pick", v, 0, 15)));
       }},
      {"--frames", true,
       [](const std::string& v, E&, FxRun& run) {
         run.frames = parseInt("--frames", v, 0, INT32_MAX);
       }},
      {"--dump-settings", false,
       [](const std::string&, E&, FxRun& run) { run.dumpSettings = true; }},
      {"--help", false, [](const std::string&, E&, FxRun& run) { run.help = true; }},
  };
  for (const NumericSetting& n : kNumericSettings) {
    names.push_front(std::string("--") + n.name);
    const char* name = names.front().c_str();
    table.push_back(n.green ? triple(name, n.red, n.green, n.blue, n.max)
                            : single(name, n.red, 0, n.max));
  }
  return table;
}

}  // namespace

FxRun applyFxOptions(const std::vector<std::string>& args, VideoEngine& engine) {
  static const std::vector<Option> table = options();
  FxRun run;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i], value;
    const size_t equals = name.find('=');
    const bool inlineValue = name.rfind("--", 0) == 0 && equals != std::string::npos;
    if (inlineValue) {
      value = name.substr(equals + 1);
      name.resize(equals);
    }
    const Option* option = nullptr;
    for (const Option& o : table)
      if (name == o.name) option = &o;
    if (option == nullptr) fail("unknown option '" + args[i] + "' (see --help)");
    if (option->takesValue && !inlineValue) {
      if (i + 1 == args.size()) fail(name + ": a value is missing");
      value = args[++i];
    } else if (!option->takesValue && inlineValue) {
      fail(name + " takes no value");
    }
    option->apply(value, engine, run);
  }
  if (!run.help && run.width == 0) fail("--size WxH is required (see --help)");
  return run;
}

std::string dumpSettings(const VideoEngine& e) {
  std::ostringstream out;
  auto line = [&](const std::string& name, int64_t value) { out << name << ' ' << value << '\n'; };
  const std::pair<const char*, const int32_t*> palette[] = {{"paletteRed", e.paletteRed},
                                                            {"paletteGreen", e.paletteGreen},
                                                            {"paletteBlue", e.paletteBlue}};
  for (const auto& [name, values] : palette)
    for (int k = 0; k < kPaletteSize; ++k)
      line(std::string(name) + "[" + std::to_string(k) + "]", loadRelaxed(values[k]));
  line("mode", loadRelaxed(e.mode));
  line("invertRed", loadRelaxed(e.invertRed));
  line("invertGreen", loadRelaxed(e.invertGreen));
  line("invertBlue", loadRelaxed(e.invertBlue));
  line("mirror", loadRelaxed(e.mirror));
  line("currentRed", e.currentRed);
  line("currentGreen", e.currentGreen);
  line("currentBlue", e.currentBlue);
  line("rampState", e.rampState);
  static constexpr const char* kBlockNames[kSettingsBlockInts] = {
      "tintRed",      "gainRed",      "gainGreen",    "gainBlue",    "floor",
      "lowPassRed",   "lowPassGreen", "lowPassBlue",  "quantizeRed", "quantizeGreen",
      "quantizeBlue", "lutMaskRed",   "lutMaskGreen", "lutMaskBlue", "outputRed",
      "outputGreen",  "outputBlue",   "tintGreen",    "tintBlue",    "colorAmount"};
  for (int i = 0; i < kSettingsBlockInts; ++i)
    line(kBlockNames[i], loadRelaxed(e.*kSettingsBlock[i]));
  line("colorCycle", loadRelaxed(e.colorCycle));
  return out.str();
}

const char* fxUsage() {
  return R"(Usage: videozarnix-fx --size WxH [options...] < in.raw > out.raw

Applies a Video Zarnix look to raw video: frames of W x H packed 24-bit pixels, bytes
blue, green, red, top row first, no padding (ffmpeg's rawvideo with -pix_fmt bgr24).
Each frame goes through the live program's own effect code, then the colour cycling
takes one step, exactly as it does live.

Example:
  ffmpeg -i in.mp4 -f rawvideo -pix_fmt bgr24 - |
    videozarnix-fx --size 1280x720 --bank looks.pvl --preset F |
    ffmpeg -f rawvideo -pix_fmt bgr24 -s 1280x720 -i - out.mp4

Options apply in the order given; values are engine values, not slider positions.
  --size WxH          frame size (required), 1..16384 each
  --mode M            0..255, or source overflow bwinvert lut colorinvert lut2
                      emboss smear greenbluegrey negative
  --gain R,G,B        0..255 each, 12 = unity
  --tint R,G,B        hue-wheel positions, 0..767 each
  --floor N           0..255: channel values below it become 0
  --lowpass R,G,B     low-pass divisors, 0..255 each (any 0 turns the filter off)
  --quantize R,G,B    low bits cleared, 0..255 each (8 or more clears the channel)
  --lutmask R,G,B     palette level masks, 0..255 each (15, 30, 60, 120 from the dialog)
  --output R,G,B      output scale, 0..255 each, 32 = unity
  --color N           colour amount in percent, 0..255
  --invert R,G,B      invert switches, 0..255 each (1 inverts)
  --mirror N          0..255 (non-zero mirrors every row)
  --cycle 0|1         colour cycling after every frame
  --palette FILE      48 whitespace-separated ints (16 red, 16 green, 16 blue),
                      -1000000..1000000
  --bank FILE         load a 3840-byte bank file into the preset store
  --preset LETTER     recall slot A..Z from the store as it stands (all zero without --bank)
  --current R,G,B     the palette editor's current colour, 0..255 each
  --random            palette entries: random fractions of the current colour
  --ramp              palette: the grey ramp lifted by random fractions of it
  --limit             palette: the grey ramp lifted by even amounts up to 30
  --range             the next two --pick options choose the ends of a blend
  --pick K            palette entry K (0..15, 0 is the top one) takes the current
                      colour, or is an end of an armed --range
  --frames N          process exactly N frames; fewer on stdin is an error
  --dump-settings     print every setting to stderr after the options are applied
  --help              this text

Exit status: 0 done, 1 input or output failed, 2 bad usage (nothing written).
)";
}

}  // namespace vz
