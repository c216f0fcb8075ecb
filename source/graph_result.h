// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace vz {

// Result codes of the graph operations, with the platform's values.
using HResult = int32_t;
inline constexpr HResult kSOk = 0;
inline constexpr HResult kEPointer = static_cast<HResult>(0x80004003u);
inline constexpr HResult kEFail = static_cast<HResult>(0x80004005u);

inline bool succeeded(HResult hr) {
  return hr >= 0;
}

enum class PinDirection : int { Input = 0, Output = 1 };

}  // namespace vz
