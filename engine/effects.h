#pragma once

#include <cstdint>

#include "engine/frame_settings.h"

namespace vz {

// One kernel per mode, all of one signature, chosen once per frame. Each rewrites a frame
// of packed 3-byte pixels in place and reads only the snapshot.
using EffectKernel = void (*)(const FrameSettings&, uint8_t* pixels, int width, int height);

void applyOverflow(const FrameSettings& s, uint8_t* pixels, int width, int height);
void applyBwInvert(const FrameSettings& s, uint8_t* pixels, int width, int height);
void applyLut(const FrameSettings& s, uint8_t* pixels, int width, int height);
void applyColorInvert(const FrameSettings& s, uint8_t* pixels, int width, int height);
void applyLut2(const FrameSettings& s, uint8_t* pixels, int width, int height);
void applyEmboss(const FrameSettings& s, uint8_t* pixels, int width, int height);
void applySmear(const FrameSettings& s, uint8_t* pixels, int width, int height);
void applyGreenBlueGrey(const FrameSettings& s, uint8_t* pixels, int width, int height);
void applyNegative(const FrameSettings& s, uint8_t* pixels, int width, int height);

// Makes every row symmetric about its centre: the left half takes the right half, reversed.
void mirrorRows(uint8_t* pixels, int width, int height);

// The kernel for a mode byte; null for Source and for every value from 10 up.
EffectKernel kernelFor(uint8_t mode);

}  // namespace vz
