#pragma once

#include <cstdint>

#include "engine/video_engine.h"

namespace vz {

// The numeric int settings as the frame filter and the pipeline element name them, with
// their ranges: one table for parsing, ranges and property descriptions. A setting with a
// null green and blue is a single value; the others are red, green, blue.
struct NumericSetting {
  const char* name;
  const char* blurb;
  int32_t VideoEngine::*red;
  int32_t VideoEngine::*green;
  int32_t VideoEngine::*blue;
  int32_t max;  // every range starts at 0
};

inline constexpr NumericSetting kNumericSettings[] = {
    {"gain", "Gain, 12 = unity", &VideoEngine::gainRed, &VideoEngine::gainGreen,
     &VideoEngine::gainBlue, 255},
    {"tint", "Hue-wheel position of the tint", &VideoEngine::tintRed, &VideoEngine::tintGreen,
     &VideoEngine::tintBlue, kHueSize - 1},
    {"floor", "Channel values below it become 0", &VideoEngine::floor, nullptr, nullptr, 255},
    {"lowpass", "Low-pass divisor (any 0 turns the filter off)", &VideoEngine::lowPassRed,
     &VideoEngine::lowPassGreen, &VideoEngine::lowPassBlue, 255},
    {"quantize", "Low bits cleared (8 or more clears the channel)", &VideoEngine::quantizeRed,
     &VideoEngine::quantizeGreen, &VideoEngine::quantizeBlue, 255},
    {"lutmask", "Palette level mask (15, 30, 60, 120 from the dialog)", &VideoEngine::lutMaskRed,
     &VideoEngine::lutMaskGreen, &VideoEngine::lutMaskBlue, 255},
    {"output", "Output scale, 32 = unity", &VideoEngine::outputRed, &VideoEngine::outputGreen,
     &VideoEngine::outputBlue, 255},
    {"color", "Colour amount in percent", &VideoEngine::colorAmount, nullptr, nullptr, 255},
};

}  // namespace vz
