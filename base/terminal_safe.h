// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace vz {

// Text that came from outside (file and record names, OSC addresses, device and property
// values) made safe to print on a terminal: C0 controls (newline included), DEL, C1 controls
// and bytes that are not valid UTF-8 show as \xNN, one per byte, so no escape sequence and
// no line break of someone else's reaches the terminal. Valid UTF-8 passes unchanged.
std::string terminalSafe(std::string_view text);

}  // namespace vz
