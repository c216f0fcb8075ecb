// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/preview_badge.h"

class QMenu;

namespace vz {

class EffectDialog;
class TempoControl;
class TextPrompts;

// The tempo's badge: "120.0 BPM 2/4" beside the recording badge.
class TempoBadge final : public PreviewBadge {
  Q_OBJECT

 public:
  TempoBadge(QWidget* preview, TempoControl& tempo, std::function<bool()> fullScreen);
};

// The key that taps the tempo: not a letter, Space, Enter or Escape, which the dialog uses.
inline constexpr int kTapKey = Qt::Key_F8;

// The preview menu's "Tempo" submenu: the source, Tap Tempo, colour steps a beat, the
// sequence and the quantizing of recalls.
void addTempoMenu(QMenu& menu, TempoControl& tempo, TextPrompts& prompts);

// The tap key on the dialog and every window of the program (the output window too).
void installTapKey(EffectDialog& dialog, TempoControl& tempo);

}  // namespace vz
