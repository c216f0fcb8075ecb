// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string_view>

#include "engine/video_engine.h"
#include "res/control_ids.h"

namespace vz {

// One engine field, an int or a byte.
struct SettingField {
  int32_t VideoEngine::*wide = nullptr;
  uint8_t VideoEngine::*byte = nullptr;
};

// How the main dialog shows a setting. Slider positions give engine values as they are, or
// as `reverseFrom - position` (the vertical Floor and Color, whose low end is at the top).
struct SettingControl {
  enum class Kind { None, Slider, Switch };
  Kind kind = Kind::None;
  int ids[3] = {};  // dialog control ids (res/control_ids.h), one per channel
  int sliderMin = 0, sliderMax = 0;
  int reverseFrom = 0;  // 0: engine value = position
  bool vertical = false;
};

// One row per setting: the name the frame filter's options, the element's properties and
// the remote controls use, the engine values each accepts, the engine fields, the text that
// describes it, and the dialog control that shows it. Per-channel settings have red, green
// and blue fields and controls.
struct NamedSetting {
  const char* name;
  int channels;  // 1 or 3
  int min, max;
  SettingField fields[3];
  const char* description;
  SettingControl control;
};

namespace setting_detail {
using E = VideoEngine;
using K = SettingControl::Kind;
constexpr SettingField w(int32_t E::*f) {
  return {f, nullptr};
}
constexpr SettingField b(uint8_t E::*f) {
  return {nullptr, f};
}
}  // namespace setting_detail

inline constexpr NamedSetting kNamedSettings[] = {
    {"gain",
     3,
     0,
     255,
     {setting_detail::w(&VideoEngine::gainRed), setting_detail::w(&VideoEngine::gainGreen),
      setting_detail::w(&VideoEngine::gainBlue)},
     "Gain, 12 = unity",
     {setting_detail::K::Slider, {kIdGainRed, kIdGainGreen, kIdGainBlue}, 0, 255}},
    {"tint",
     3,
     0,
     kHueSize - 1,
     {setting_detail::w(&VideoEngine::tintRed), setting_detail::w(&VideoEngine::tintGreen),
      setting_detail::w(&VideoEngine::tintBlue)},
     "Hue-wheel position of the tint",
     {setting_detail::K::Slider, {kIdTintRed, kIdTintGreen, kIdTintBlue}, 0, kHueSize - 1}},
    {"floor",
     1,
     0,
     255,
     {setting_detail::w(&VideoEngine::floor)},
     "Channel values below it become 0",
     {setting_detail::K::Slider, {kIdFloor}, 1, 255, 255, true}},
    {"lowpass",
     3,
     0,
     255,
     {setting_detail::w(&VideoEngine::lowPassRed), setting_detail::w(&VideoEngine::lowPassGreen),
      setting_detail::w(&VideoEngine::lowPassBlue)},
     "Low-pass divisor (any 0 turns the filter off)",
     {setting_detail::K::Slider, {kIdLowPassRed, kIdLowPassGreen, kIdLowPassBlue}, 1, 255}},
    {"quantize",
     3,
     0,
     255,
     {setting_detail::w(&VideoEngine::quantizeRed), setting_detail::w(&VideoEngine::quantizeGreen),
      setting_detail::w(&VideoEngine::quantizeBlue)},
     "Low bits cleared (8 or more clears the channel)",
     {setting_detail::K::Slider, {kIdQuantizeRed, kIdQuantizeGreen, kIdQuantizeBlue}, 0, 7}},
    // No control of its own: the Quantize sliders set it too (see panel/control_bindings).
    {"lutmask",
     3,
     0,
     255,
     {setting_detail::w(&VideoEngine::lutMaskRed), setting_detail::w(&VideoEngine::lutMaskGreen),
      setting_detail::w(&VideoEngine::lutMaskBlue)},
     "Palette level mask (15, 30, 60, 120 from the dialog)",
     {}},
    {"output",
     3,
     0,
     255,
     {setting_detail::w(&VideoEngine::outputRed), setting_detail::w(&VideoEngine::outputGreen),
      setting_detail::w(&VideoEngine::outputBlue)},
     "Output scale, 32 = unity",
     {setting_detail::K::Slider, {kIdOutputRed, kIdOutputGreen, kIdOutputBlue}, 0, 255}},
    {"color",
     1,
     0,
     255,
     {setting_detail::w(&VideoEngine::colorAmount)},
     "Colour amount in percent",
     {setting_detail::K::Slider, {kIdColor}, 0, 100, 100, true}},
    {"invert",
     3,
     0,
     255,
     {setting_detail::b(&VideoEngine::invertRed), setting_detail::b(&VideoEngine::invertGreen),
      setting_detail::b(&VideoEngine::invertBlue)},
     "Invert switch (1 inverts; the single-channel modes read red)",
     {setting_detail::K::Switch, {kIdInvertRed, kIdInvertGreen, kIdInvertBlue}, 0, 1}},
    {"mirror",
     1,
     0,
     255,
     {setting_detail::b(&VideoEngine::mirror)},
     "Non-zero mirrors every row",
     {setting_detail::K::Switch, {kIdMirror}, 0, 1}},
    {"cycle",
     1,
     0,
     1,
     {setting_detail::w(&VideoEngine::colorCycle)},
     "Colour cycling after every frame",
     {setting_detail::K::Switch, {kIdColorCycle}, 0, 1}},
};

namespace setting_detail {
// Sliders show ints; the reversed ones are the vertical ones; every block int has a row.
consteval bool tableHolds() {
  for (const NamedSetting& s : kNamedSettings) {
    const SettingControl& c = s.control;
    if (c.kind == K::Slider)
      for (int ch = 0; ch < s.channels; ++ch)
        if (s.fields[ch].wide == nullptr) return false;
    if ((c.reverseFrom != 0) != c.vertical) return false;
  }
  for (int32_t VideoEngine::*block : kSettingsBlock) {
    bool found = false;
    for (const NamedSetting& s : kNamedSettings)
      for (int ch = 0; ch < s.channels; ++ch) found = found || s.fields[ch].wide == block;
    if (!found) return false;
  }
  return true;
}
static_assert(tableHolds(), "a row of kNamedSettings disagrees with its control or the block");
}  // namespace setting_detail

inline constexpr const char* kChannelNames[3] = {"red", "green", "blue"};

// Modes by name, index = EffectMode value.
inline constexpr const char* kModeNames[] = {"source",        "overflow", "bwinvert", "lut",
                                             "colorinvert",   "lut2",     "emboss",   "smear",
                                             "greenbluegrey", "negative"};

const NamedSetting* findSetting(std::string_view name);
// The EffectMode value of a mode name, or -1.
int findModeName(std::string_view name);
// A relaxed store into the field, whatever its width.
void storeSetting(VideoEngine& engine, const SettingField& field, int value);
// The row whose dialog control is `id` (its channel in *channel), or nullptr.
const NamedSetting* settingForControl(int id, int* channel = nullptr);

}  // namespace vz
