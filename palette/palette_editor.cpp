// SPDX-License-Identifier: GPL-3.0-or-later
#include "palette/palette_editor.h"

#include <algorithm>
#include <array>
#include <utility>

#include "engine/shared_value.h"

namespace vz {

namespace {

struct Channel {
  int32_t* entries;
  int32_t current;
};

// Red, green, blue: the order every generator draws in.
std::array<Channel, 3> channels(VideoEngine& e) {
  return {{{e.paletteRed, e.currentRed},
           {e.paletteGreen, e.currentGreen},
           {e.paletteBlue, e.currentBlue}}};
}

void interpolate(VideoEngine& e, int lo, int hi) {
  if (hi < lo) std::swap(lo, hi);
  const int span = hi - lo;
  if (span == 0) return;  // the same entry twice: nothing between the ends
  for (Channel c : channels(e)) {
    const int32_t a = loadRelaxed(c.entries[lo]), b = loadRelaxed(c.entries[hi]);
    const int32_t step = a < b ? (b - a) / span : -((a - b) / span);
    int32_t v = a;
    for (int i = lo; i < hi; ++i, v += step) storeRelaxed(c.entries[i], v);
  }
}

}  // namespace

void pickPaletteEntry(VideoEngine& e, int k) {
  if (k < 0 || k >= kPaletteSize) return;
  const int32_t state = e.rampState;
  if (state == kRampArmed) {
    e.rampState = kRampFirstEnd + k;
    return;
  }
  if (state >= kRampFirstEnd && state < kRampFirstEnd + kPaletteSize) {
    interpolate(e, state - kRampFirstEnd, k);
    e.rampState = kRampIdle;
    return;
  }
  // Idle, or a state no click can make (a bank may bring any byte): the entry takes the
  // current colour and the editor is idle again.
  for (Channel c : channels(e)) storeRelaxed(c.entries[k], c.current);
  e.rampState = kRampIdle;
}

void armRange(VideoEngine& e) {
  e.rampState = kRampArmed;
}

void generateRandom(VideoEngine& e, Rand15& random) {
  const auto all = channels(e);
  for (int k = 0; k < kPaletteSize; ++k)
    for (const Channel& c : all)
      storeRelaxed(c.entries[k], (random.next() & 255) * c.current / 256);
}

void generateRamp(VideoEngine& e, Rand15& random) {
  const auto all = channels(e);
  for (int i = 0; i < kPaletteSize; ++i)
    for (const Channel& c : all) {
      const int32_t v = 16 * i + (((random.next() & 255) * c.current) >> 8);
      storeRelaxed(c.entries[15 - i], std::min(v, 255));
    }
}

void generateLimit(VideoEngine& e, Rand15& random) {
  const auto all = channels(e);
  for (int i = 0; i < kPaletteSize; ++i)
    for (const Channel& c : all) {
      const int32_t v = 16 * i + 2 * (random.next() & 15);
      storeRelaxed(c.entries[15 - i], std::min(v, 255));
    }
}

}  // namespace vz
