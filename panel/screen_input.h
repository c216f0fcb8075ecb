// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/video_engine.h"
#include "ui/dialog_ops.h"

namespace vz {

// Bare dialog over the whole primary screen, the preview on top filling it.
void enterFullScreen(VideoEngine& engine, DialogOps& dialog);
// Framed dialog, 1024 x 740 at 0, 0, the preview back at 720 x 480 on top; coming from full
// screen, the controls show the live look again.
void leaveFullScreen(VideoEngine& engine, DialogOps& dialog);

// A recall as the letter keys and letter buttons make it: the slot's fields, then the
// control visibility of the restored mode (none for modes 7 and above).
void recallPreset(VideoEngine& engine, DialogOps& dialog, int slot);

enum class KeyVerdict { Consumed, PassOn };

// Key-down before the dialog's own keyboard handling. `letter` is 'A'..'Z' for a letter key
// (either case, by its position on the keyboard), 0 otherwise.
KeyVerdict preTranslateKeyDown(VideoEngine& engine, DialogOps& dialog, bool escape, char letter);

// A left click on the dialog's surface at client x, y: a click inside a colour bar picks
// that channel of the current colour; true when something was picked.
bool pickCurrentColor(VideoEngine& engine, DialogOps& dialog, int x, int y);

}  // namespace vz
