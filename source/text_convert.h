#pragma once

#include <string>

namespace vz {

// A zero-terminated wide string (the engine's fileName) as UTF-8; at most maxUnits units
// are read. Values that are not Unicode scalar values become U+FFFD.
std::string wideToUtf8(const wchar_t* text, size_t maxUnits);

// text cut to at most maxBytes bytes without splitting a UTF-8 character.
std::string cutUtf8(const std::string& text, size_t maxBytes);

}  // namespace vz
