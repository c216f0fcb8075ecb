// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/frame_settings.h"

namespace vz {

// AVX2 bodies of the effect kernels, called only when useAvx2(). Those that take a pixel
// count work on whole blocks of 32 pixels and return how many they did; the caller finishes
// the rest with the portable code.

// Whether the settings lie where the Overflow vector arithmetic is exact (every byte a
// bank can store does).
bool overflowFitsAvx2(const FrameSettings& s);
// The kernels that take `from` and `to` may write where they read (in place) or into another
// buffer, leaving `from` as it was.
std::ptrdiff_t overflowPixelsAvx2(const FrameSettings& s, const uint8_t* from, uint8_t* to,
                                  std::ptrdiff_t count);

std::ptrdiff_t bwInvertPixelsAvx2(uint8_t flip, uint8_t* pixels, std::ptrdiff_t count);
std::ptrdiff_t greenBlueGreyPixelsAvx2(uint8_t* pixels, std::ptrdiff_t count);
// (b + g + r) / 3 of the first pixels into a plane, which may be the front of the pixels'
// own buffer.
std::ptrdiff_t greyPlaneAvx2(const uint8_t* pixels, uint8_t* plane, std::ptrdiff_t count);

// Lut and Lut2 with the palette bytes `entry` (per channel). The index arithmetic needs
// the output scale in a byte.
bool lutFitsAvx2(const FrameSettings& s);
std::ptrdiff_t lutPixelsAvx2(const FrameSettings& s, const uint8_t (&entry)[3][16],
                             const uint8_t* from, uint8_t* to, std::ptrdiff_t count);
// Expands count (a multiple of 32) grey bytes into palette pixels, backwards, so that the
// grey bytes may lie at the front of the pixels written.
void lutExpandAvx2(const FrameSettings& s, const uint8_t (&entry)[3][16], const uint8_t* plane,
                   uint8_t* pixels, std::ptrdiff_t count);

// Per row: return the first pixel the blocks did (Emboss: they did every pixel from there
// to the end), the bytes done from the start (Smear), or the pixels done from the start
// (Mirror).
int embossRowAvx2(uint8_t* row, int width);
std::ptrdiff_t smearRunAvx2(uint8_t* q, std::ptrdiff_t runBytes);
int mirrorRowAvx2(uint8_t* row, int width);

}  // namespace vz
