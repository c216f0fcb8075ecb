// SPDX-License-Identifier: GPL-3.0-or-later
#include "presets/bank_bytes.h"

namespace vz {

void encodeBank(const VideoEngine& e, uint8_t (&bytes)[kBankBytes]) {
  for (size_t i = 0; i < kBankBytes; ++i) bytes[i] = static_cast<uint8_t>(e.presetStore[i] & 0xFF);
}

void decodeBank(VideoEngine& e, const uint8_t (&bytes)[kBankBytes]) {
  for (size_t i = 0; i < kBankBytes; ++i) e.presetStore[i] = bytes[i];
}

}  // namespace vz
