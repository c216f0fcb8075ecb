// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/fx_options.h"

#include <array>
#include <cctype>
#include <charconv>
#include <functional>
#include <sstream>

#include "engine/blend.h"
#include "engine/setting_names.h"
#include "engine/shared_value.h"
#include "files/user_file.h"
#include "palette/palette_editor.h"
#include "presets/bank_bytes.h"
#include "presets/preset_slot.h"

namespace vz {

namespace {

// The message goes to a terminal: bytes it would act on (controls, bytes that are not UTF-8)
// are shown as \xNN escapes rather than raw.
std::string printable(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size();) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char c = byte(i);
    const size_t length = c < 0x80   ? 1
                          : c < 0xC2 ? 0
                          : c < 0xE0 ? 2
                          : c < 0xF0 ? 3
                          : c < 0xF5 ? 4
                                     : 0;
    bool shown =
        length > 0 && i + length <= text.size() && (length > 1 || (c >= 0x20 && c != 0x7F));
    for (size_t k = 1; shown && k < length; ++k) shown = (byte(i + k) & 0xC0) == 0x80;
    if (shown && c == 0xC2) shown = byte(i + 1) >= 0xA0;  // the C1 controls
    if (shown) {
      out.append(text, i, length);
      i += length;
    } else {
      static constexpr char kHex[] = "0123456789abcdef";
      out += {'\\', 'x', kHex[c >> 4], kHex[c & 15]};
      ++i;
    }
  }
  return out;
}

[[noreturn]] void fail(const std::string& message) {
  throw FxUsageError(printable(message));
}

int64_t parseInt(const std::string& option, const std::string& text, int64_t min, int64_t max) {
  int64_t value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  const std::string shown = text.size() > 40 ? text.substr(0, 40) + "..." : text;
  if (text.empty() || (ec != std::errc() && ec != std::errc::result_out_of_range) || ptr != end)
    fail(option + ": '" + shown + "' is not a whole number");
  if (ec == std::errc::result_out_of_range || value < min || value > max)
    fail(option + ": " + shown + " is out of range (" + std::to_string(min) + ".." +
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

// The whole file, at most limit bytes; what names no regular file is never opened, so a
// named pipe cannot hold the filter up.
std::string readFile(const std::string& option, const std::string& path, size_t limit,
                     const std::string& kind) {
  UserFile file = readUserFile(path, limit);
  switch (file.status) {
    case UserFileStatus::Ok:
      return std::move(file.data);
    case UserFileStatus::Missing:
    case UserFileStatus::CannotOpen:
      fail(option + ": cannot open '" + path + "': " + file.why);
    case UserFileStatus::CannotRead:
      fail(option + ": cannot read '" + path + "': " + file.why);
    case UserFileStatus::NotAFile:
    case UserFileStatus::TooLong:
      break;
  }
  fail(option + ": '" + path + "' is not " + kind + " (" + file.why + ")");
}

uint8_t parseMode(const std::string& text) {
  if (const int m = findModeName(text); m >= 0) return static_cast<uint8_t>(m);
  if (!text.empty() && std::isdigit(static_cast<unsigned char>(text[0])))
    return static_cast<uint8_t>(parseInt("--mode", text, 0, 255));
  fail("--mode: unknown mode '" + text + "'");
}

void loadPalette(VideoEngine& e, const std::string& path) {
  std::istringstream words(readFile("--palette", path, 1 << 20, "a palette file"));
  std::vector<int32_t> values;
  std::string word;
  while (words >> word) {
    if (values.size() == 48) fail("--palette: '" + path + "' holds more than 48 values");
    values.push_back(static_cast<int32_t>(parseInt("--palette", word, -1000000, 1000000)));
  }
  if (values.size() != 48)
    fail("--palette: '" + path + "' holds " + std::to_string(values.size()) +
         " values, 48 are needed (16 red, 16 green, 16 blue)");
  for (int k = 0; k < kPaletteSize; ++k) {
    storeRelaxed(e.paletteRed[k], values[k]);
    storeRelaxed(e.paletteGreen[k], values[16 + k]);
    storeRelaxed(e.paletteBlue[k], values[32 + k]);
  }
}

void loadBank(VideoEngine& e, const std::string& path) {
  const std::string data = readFile("--bank", path, kBankBytes, "a bank file");
  if (data.size() != kBankBytes)
    fail("--bank: '" + path + "' is " + std::to_string(data.size()) + " bytes, a bank is " +
         std::to_string(kBankBytes));
  uint8_t bytes[kBankBytes];
  for (size_t i = 0; i < kBankBytes; ++i) bytes[i] = static_cast<uint8_t>(data[i]);
  decodeBank(e, bytes);
}

int parseSlot(const std::string& text, const char* option = "--preset") {
  if (text.size() == 1 && std::isalpha(static_cast<unsigned char>(text[0])))
    return std::toupper(static_cast<unsigned char>(text[0])) - 'A';
  fail(std::string(option) + ": expected a letter A..Z, got '" + text + "'");
}

using Handler = std::function<void(const std::string& value, VideoEngine&, FxRun&)>;

struct Option {
  std::string name;
  bool takesValue;
  Handler apply;
};

// A setting's option: R,G,B for a per-channel setting, one value otherwise.
Option settingOption(const NamedSetting& setting) {
  const std::string name = std::string("--") + setting.name;
  return {name, true, [name, &setting](const std::string& v, VideoEngine& e, FxRun&) {
            if (setting.channels == 3) {
              const auto values = parseTriple(name, v, setting.max);
              for (int c = 0; c < 3; ++c) storeSetting(e, setting.fields[c], values[c]);
            } else {
              storeSetting(e, setting.fields[0],
                           static_cast<int>(parseInt(name, v, setting.min, setting.max)));
            }
          }};
}

std::vector<Option> options() {
  using E = VideoEngine;
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
      {"--fade-to", true,
       [](const std::string& v, E&, FxRun& run) { run.fadeTo = parseSlot(v, "--fade-to"); }},
      {"--fade-frames", true,
       [](const std::string& v, E&, FxRun& run) {
         run.fadeFrames = static_cast<int>(parseInt("--fade-frames", v, 1, kMaxFadeFrames));
       }},
      {"--dump-settings", false,
       [](const std::string&, E&, FxRun& run) { run.dumpSettings = true; }},
      {"--help", false, [](const std::string&, E&, FxRun& run) { run.help = true; }},
  };
  for (const NamedSetting& setting : kNamedSettings) table.push_back(settingOption(setting));
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
  if (!run.help && run.fadeTo.has_value() != (run.fadeFrames > 0))
    fail(run.fadeTo ? "--fade-to needs --fade-frames N" : "--fade-frames needs --fade-to LETTER");
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

Example (a 30 fps clip; raw frames carry no rate, so give it to both ends):
  ffmpeg -i in.mp4 -vf scale=1280:720 -r 30 -f rawvideo -pix_fmt bgr24 - |
    videozarnix-fx --size 1280x720 --bank looks.pvl --preset F |
    ffmpeg -f rawvideo -pix_fmt bgr24 -s 1280x720 -framerate 30 -i - -i in.mp4 \
      -map 0:v -map 1:a? -c:a copy -pix_fmt yuv420p out.mp4

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
  --fade-to LETTER    fade from the look the other options set up into slot LETTER
                      of the store: frame j is frame j of the fade
  --fade-frames N     the fade's length, 1..65535 frames; from frame N on LETTER alone
  --frames N          process exactly N frames; fewer on stdin is an error
  --dump-settings     print every setting to stderr after the options are applied
  --help              this text
  --version           the program's version

Exit status: 0 done, 1 input, output or memory failed, 2 bad usage (nothing written).
)";
}

}  // namespace vz
