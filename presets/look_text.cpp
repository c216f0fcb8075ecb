// SPDX-License-Identifier: GPL-3.0-or-later
#include "presets/look_text.h"

#include <charconv>
#include <sstream>
#include <string>

#include "engine/shared_value.h"

namespace vz {

std::optional<PaletteValues> parsePaletteText(std::string_view text, std::string& error) {
  PaletteValues values{};
  int count = 0;
  size_t pos = 0;
  auto space = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
  while (true) {
    while (pos < text.size() && space(text[pos])) ++pos;
    if (pos == text.size()) break;
    size_t end = pos;
    while (end < text.size() && !space(text[end])) ++end;
    const std::string_view word = text.substr(pos, end - pos);
    pos = end;
    if (count == kPaletteTextValues) {
      error = "more than 48 values given, 48 are needed (16 red, 16 green, 16 blue)";
      return std::nullopt;
    }
    // Which of the 48 values, and which entry of which channel that is.
    static constexpr const char* kChannels[] = {"red", "green", "blue"};
    const std::string which = "value " + std::to_string(count + 1) + " (" +
                              kChannels[count / kPaletteSize] + " entry " +
                              std::to_string(count % kPaletteSize) + "), ";
    int64_t v = 0;
    const auto [ptr, ec] = std::from_chars(word.data(), word.data() + word.size(), v);
    if (ec != std::errc() || ptr != word.data() + word.size()) {
      error = which + "'" + std::string(word) + "', is not a whole number";
      return std::nullopt;
    }
    if (v < -kPaletteTextLimit || v > kPaletteTextLimit) {
      error = which + std::string(word) + ", is out of range (-1000000..1000000)";
      return std::nullopt;
    }
    values[count++] = static_cast<int32_t>(v);
  }
  if (count != kPaletteTextValues) {
    error = std::to_string(count) + " values given, 48 are needed (16 red, 16 green, 16 blue)";
    return std::nullopt;
  }
  return values;
}

std::string formatPalette(const VideoEngine& e) {
  std::ostringstream out;
  for (const int32_t* channel : {e.paletteRed, e.paletteGreen, e.paletteBlue})
    for (int k = 0; k < kPaletteSize; ++k)
      out << (out.tellp() > 0 ? " " : "") << loadRelaxed(channel[k]);
  return out.str();
}

void storePalette(VideoEngine& e, const PaletteValues& values) {
  for (int k = 0; k < kPaletteSize; ++k) {
    storeRelaxed(e.paletteRed[k], values[k]);
    storeRelaxed(e.paletteGreen[k], values[kPaletteSize + k]);
    storeRelaxed(e.paletteBlue[k], values[2 * kPaletteSize + k]);
  }
}

std::optional<int> slotForLetter(std::string_view text) {
  if (text.size() != 1) return std::nullopt;
  const char c = text[0];
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a';
  return std::nullopt;
}

}  // namespace vz
