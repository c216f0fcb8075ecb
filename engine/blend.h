// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>

namespace vz {

// The longest fade in frames: every sum of the blend stays below 2^24.
inline constexpr int kMaxFadeFrames = 65535;

// Frame j (0..n-1) of a fade of n frames (1..kMaxFadeFrames), per byte, in place on `into`,
// which holds the look fading in:
//   into = (old * (n - 1 - j) + into * (j + 1) + n / 2) / n
// Rows of rowBytes bytes, each buffer with its own stride. Takes the AVX2 path when the
// processor has it (for n up to 256; longer fades take the portable one).
void blendFade(const uint8_t* old, std::ptrdiff_t oldStride, uint8_t* into,
               std::ptrdiff_t intoStride, std::ptrdiff_t rowBytes, int rows, int j, int n);

// The same blend with the buffers' roles swapped: `into` holds the look fading out and
// receives the blend, `in` holds the look fading in.
void blendFadeOver(const uint8_t* in, std::ptrdiff_t inStride, uint8_t* into,
                   std::ptrdiff_t intoStride, std::ptrdiff_t rowBytes, int rows, int j, int n);

namespace blend_detail {
// Whole 32-byte blocks of one row; returns how many bytes it did. n <= 256.
std::ptrdiff_t blendRowAvx2(const uint8_t* old, uint8_t* into, std::ptrdiff_t bytes, int j, int n);
}  // namespace blend_detail

}  // namespace vz
