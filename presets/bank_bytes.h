// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/video_engine.h"

namespace vz {

// A bank is the preset store, one byte per int and nothing else: byte i is the low 8 bits
// of int i. Stored banks depend on this layout; it never changes.
inline constexpr size_t kBankBytes = kPresetInts;  // 3840

void encodeBank(const VideoEngine& engine, uint8_t (&bytes)[kBankBytes]);
// Replaces the whole store: int i becomes byte i (0..255).
void decodeBank(VideoEngine& engine, const uint8_t (&bytes)[kBankBytes]);

}  // namespace vz
