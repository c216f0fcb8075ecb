// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/frame_settings.h"

#include "engine/shared_value.h"

namespace vz {

namespace {

uint8_t quantizeMaskFor(int32_t count) {
  if (count < 0 || count >= 8) return count < 0 ? 255 : 0;
  return static_cast<uint8_t>(255u << count);
}

}  // namespace

FrameSettings takeSnapshot(const VideoEngine& e) {
  FrameSettings s{};
  s.mode = loadRelaxed(e.mode);
  s.mirror = loadRelaxed(e.mirror);
  const uint8_t invert[3] = {loadRelaxed(e.invertBlue), loadRelaxed(e.invertGreen),
                             loadRelaxed(e.invertRed)};
  for (int c = 0; c < 3; ++c) s.invertXor[c] = invert[c] == 1 ? 255 : 0;
  s.invertRed = invert[kRed];

  s.floor = loadRelaxed(e.floor);
  s.lowPass[kRed] = loadRelaxed(e.lowPassRed);
  s.lowPass[kGreen] = loadRelaxed(e.lowPassGreen);
  s.lowPass[kBlue] = loadRelaxed(e.lowPassBlue);
  s.quantizeMask[kRed] = quantizeMaskFor(loadRelaxed(e.quantizeRed));
  s.quantizeMask[kGreen] = quantizeMaskFor(loadRelaxed(e.quantizeGreen));
  s.quantizeMask[kBlue] = quantizeMaskFor(loadRelaxed(e.quantizeBlue));
  s.gain[kRed] = loadRelaxed(e.gainRed);
  s.gain[kGreen] = loadRelaxed(e.gainGreen);
  s.gain[kBlue] = loadRelaxed(e.gainBlue);
  s.output[kRed] = loadRelaxed(e.outputRed);
  s.output[kGreen] = loadRelaxed(e.outputGreen);
  s.output[kBlue] = loadRelaxed(e.outputBlue);
  s.colorAmount = loadRelaxed(e.colorAmount);
  s.lutMask = loadRelaxed(e.lutMaskRed);
  s.outputRed = s.output[kRed];

  // The hue wheel never changes after construction; only the tints move.
  const int tR = huePosition(loadRelaxed(e.tintRed));
  const int tG = huePosition(loadRelaxed(e.tintGreen));
  const int tB = huePosition(loadRelaxed(e.tintBlue));
  s.mix[kRed][kRed] = e.hueRed[tR];
  s.mix[kRed][kGreen] = e.hueGreen[tG];
  s.mix[kRed][kBlue] = e.hueBlue[tB];
  s.mix[kGreen][kRed] = e.hueGreen[tR];
  s.mix[kGreen][kGreen] = e.hueRed[tG];
  s.mix[kGreen][kBlue] = e.hueGreen[tB];
  s.mix[kBlue][kRed] = e.hueBlue[tR];
  s.mix[kBlue][kGreen] = e.hueBlue[tG];
  s.mix[kBlue][kBlue] = e.hueRed[tB];

  for (int k = 0; k < kPaletteSize; ++k) {
    s.palette[kRed][k] = loadRelaxed(e.paletteRed[k]);
    s.palette[kGreen][k] = loadRelaxed(e.paletteGreen[k]);
    s.palette[kBlue][k] = loadRelaxed(e.paletteBlue[k]);
  }
  return s;
}

}  // namespace vz
