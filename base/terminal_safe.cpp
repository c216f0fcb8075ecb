// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/terminal_safe.h"

namespace vz {

namespace {

void appendEscaped(std::string& out, unsigned char byte) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out += "\\x";
  out += kHex[byte >> 4];
  out += kHex[byte & 0xF];
}

// Length of the well-formed UTF-8 sequence at text[i] (shortest form, no surrogates, at most
// U+10FFFF), or 0.
size_t sequenceLength(std::string_view text, size_t i) {
  const auto at = [&](size_t k) { return static_cast<unsigned char>(text[i + k]); };
  const unsigned char lead = at(0);
  size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  if (at(1) < low || at(1) > high) return 0;
  for (size_t k = 2; k < length; ++k)
    if (at(k) < 0x80 || at(k) > 0xBF) return 0;
  return length;
}

}  // namespace

std::string terminalSafe(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x80) {
      if (byte < 0x20 || byte == 0x7F)
        appendEscaped(out, byte);
      else
        out += static_cast<char>(byte);
      ++i;
      continue;
    }
    const size_t length = sequenceLength(text, i);
    // U+0080..U+009F, the C1 controls, are C2 80..C2 9F.
    const bool c1 = length == 2 && byte == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0;
    if (length == 0 || c1) {
      for (size_t k = 0; k < (c1 ? 2 : 1); ++k)
        appendEscaped(out, static_cast<unsigned char>(text[i + k]));
      i += c1 ? 2 : 1;
      continue;
    }
    out.append(text.substr(i, length));
    i += length;
  }
  return out;
}

}  // namespace vz
