#pragma once

#include <cstdint>
#include <string_view>

#include "engine/video_engine.h"

namespace vz {

// One engine field, an int or a byte.
struct SettingField {
  int32_t VideoEngine::*wide = nullptr;
  uint8_t VideoEngine::*byte = nullptr;
};

// The settings as the frame filter's options and the remote controls name them, with the
// engine values each accepts. Per-channel settings have red, green and blue fields.
struct NamedSetting {
  const char* name;
  int channels;  // 1 or 3
  int min, max;
  SettingField fields[3];
};

namespace setting_detail {
using E = VideoEngine;
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
      setting_detail::w(&VideoEngine::gainBlue)}},
    {"tint",
     3,
     0,
     kHueSize - 1,
     {setting_detail::w(&VideoEngine::tintRed), setting_detail::w(&VideoEngine::tintGreen),
      setting_detail::w(&VideoEngine::tintBlue)}},
    {"floor", 1, 0, 255, {setting_detail::w(&VideoEngine::floor)}},
    {"lowpass",
     3,
     0,
     255,
     {setting_detail::w(&VideoEngine::lowPassRed), setting_detail::w(&VideoEngine::lowPassGreen),
      setting_detail::w(&VideoEngine::lowPassBlue)}},
    {"quantize",
     3,
     0,
     255,
     {setting_detail::w(&VideoEngine::quantizeRed), setting_detail::w(&VideoEngine::quantizeGreen),
      setting_detail::w(&VideoEngine::quantizeBlue)}},
    {"lutmask",
     3,
     0,
     255,
     {setting_detail::w(&VideoEngine::lutMaskRed), setting_detail::w(&VideoEngine::lutMaskGreen),
      setting_detail::w(&VideoEngine::lutMaskBlue)}},
    {"output",
     3,
     0,
     255,
     {setting_detail::w(&VideoEngine::outputRed), setting_detail::w(&VideoEngine::outputGreen),
      setting_detail::w(&VideoEngine::outputBlue)}},
    {"color", 1, 0, 255, {setting_detail::w(&VideoEngine::colorAmount)}},
    {"invert",
     3,
     0,
     255,
     {setting_detail::b(&VideoEngine::invertRed), setting_detail::b(&VideoEngine::invertGreen),
      setting_detail::b(&VideoEngine::invertBlue)}},
    {"mirror", 1, 0, 255, {setting_detail::b(&VideoEngine::mirror)}},
    {"cycle", 1, 0, 1, {setting_detail::w(&VideoEngine::colorCycle)}},
};

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

}  // namespace vz
