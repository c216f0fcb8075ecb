// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "engine/shared_value.h"
#include "engine/video_engine.h"

namespace vz::test {

using Frame = std::vector<uint8_t>;

inline Frame randomBytes(size_t count, uint32_t seed) {
  Frame f(count);
  std::mt19937 gen(seed);
  for (auto& b : f) b = static_cast<uint8_t>(gen());
  return f;
}

inline Frame randomFrame(int width, int height, uint32_t seed) {
  return randomBytes(static_cast<size_t>(width) * height * 3, seed);
}

inline Frame uniformFrame(int width, int height, int r, int g, int b) {
  Frame f(static_cast<size_t>(width) * height * 3);
  for (size_t i = 0; i < f.size(); i += 3) {
    f[i] = static_cast<uint8_t>(b);
    f[i + 1] = static_cast<uint8_t>(g);
    f[i + 2] = static_cast<uint8_t>(r);
  }
  return f;
}

// Settings at the points where the look is the identity (scaled by 255/256 through the mix).
inline void setUnity(VideoEngine& e) {
  e.gainRed = e.gainGreen = e.gainBlue = 12;
  e.outputRed = e.outputGreen = e.outputBlue = 32;
  e.colorAmount = 100;
  e.floor = 0;
  e.lowPassRed = e.lowPassGreen = e.lowPassBlue = 1;
}

// Every field a bank can set, to any byte (tints keep to the wheel as a bank's low 8 bits do).
inline void randomizeLook(VideoEngine& e, std::mt19937& gen) {
  auto byte = [&] { return static_cast<int>(gen() & 0xFF); };
  auto flag = [&] { return static_cast<uint8_t>(gen() % 3 == 0 ? byte() : gen() & 1); };
  e.invertRed = flag(), e.invertGreen = flag(), e.invertBlue = flag();
  e.gainRed = byte(), e.gainGreen = byte(), e.gainBlue = byte();
  e.tintRed = static_cast<int>(gen() % 768), e.tintGreen = static_cast<int>(gen() % 768);
  e.tintBlue = static_cast<int>(gen() % 768);
  e.floor = gen() % 2 ? byte() : 0;
  e.lowPassRed = byte(), e.lowPassGreen = byte(), e.lowPassBlue = byte();
  e.quantizeRed = gen() % 2 ? byte() : byte() % 8;
  e.quantizeGreen = byte() % 9, e.quantizeBlue = byte() % 10;
  e.lutMaskRed = gen() % 2 ? byte() : 15 << (gen() % 4);
  e.outputRed = byte(), e.outputGreen = byte(), e.outputBlue = byte();
  e.colorAmount = gen() % 2 ? byte() : byte() % 101;
  for (int k = 0; k < kPaletteSize; ++k) {
    e.paletteRed[k] = byte(), e.paletteGreen[k] = byte(), e.paletteBlue[k] = byte();
  }
}

}  // namespace vz::test
