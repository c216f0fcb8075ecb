// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "engine/video_engine.h"
#include "ui/dialog_ops.h"

namespace vz {

// Client rectangles the dialog repaints (right and bottom excluded).
inline constexpr ClientRect kPaletteStripArea{836, 12, 858, 470};
inline constexpr ClientRect kColorPickerArea{740, 12, 810, 350};

// Any horizontal slider moved: every horizontal setting and the three level masks are read
// again from the sliders as they stand.
void onHorizontalScroll(VideoEngine& engine, const DialogOps& dialog);
// A vertical slider moved: floor and colour amount from Floor and Color.
void onVerticalScroll(VideoEngine& engine, const DialogOps& dialog);

// A switch flips between 0 and 1 whatever the box shows.
void toggleFlag(uint8_t& flag);
void toggleFlag(int32_t& flag);

// A Mode radio (1051..1057): the mode's controls first, then the mode.
void onModeRadio(VideoEngine& engine, DialogOps& dialog, int radioId);

// Shows or hides groups of effect controls by mask bits (see the .cpp).
void showModeControls(DialogOps& dialog, unsigned mask);
// The visibility of a mode: the masks its radio applies; nothing for modes 7 and above.
void applyModeVisibility(DialogOps& dialog, int mode);

// Puts sliders, switches and the Mode radio in step with the settings and repaints the
// palette strip. Writes no setting and changes no visibility.
void refreshControls(const VideoEngine& engine, DialogOps& dialog);

}  // namespace vz
