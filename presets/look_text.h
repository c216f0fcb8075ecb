// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/video_engine.h"

namespace vz {

// A palette as text: 48 whitespace-separated ints, the 16 red, then green, then blue entries.
inline constexpr int kPaletteTextValues = 3 * kPaletteSize;
inline constexpr int32_t kPaletteTextLimit = 1000000;  // values lie in -limit..limit
using PaletteValues = std::array<int32_t, kPaletteTextValues>;

// The values, or nothing with the reason in `error`, naming the value at fault
// ("value 2 (red entry 1), 'x', is not a whole number", "3 values given, 48 are needed ...").
std::optional<PaletteValues> parsePaletteText(std::string_view text, std::string& error);
std::string formatPalette(const VideoEngine& engine);
void storePalette(VideoEngine& engine, const PaletteValues& values);

// Slot 0..25 for one letter A..Z in either case, else nothing.
std::optional<int> slotForLetter(std::string_view text);

}  // namespace vz
