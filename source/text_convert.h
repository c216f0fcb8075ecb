// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace vz {

// text cut to at most maxBytes bytes without splitting a UTF-8 character.
std::string cutUtf8(const std::string& text, size_t maxBytes);

}  // namespace vz
