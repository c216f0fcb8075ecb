// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QMenu;
class QWidget;

namespace vz {

class ControllerBridge;

// "MIDI Learn" (checked while armed; choosing it again cancels), "Clear MIDI Mappings", and
// the same two for OSC.
void addControllerMenuActions(QMenu& menu, ControllerBridge& bridge);

// A right-click menu on the preview holding just those, for a build whose preview has no
// menu of its own.
void installControllerContextMenu(QWidget& preview, ControllerBridge& bridge);

}  // namespace vz
