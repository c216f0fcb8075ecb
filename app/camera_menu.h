// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QMenu;

namespace vz {

class DeviceList;
class EffectDialog;
class MediaGraph;

// The preview menu's cameras, read from the device list each time the menu opens: each by
// name (its key as tooltip and data), the one in use checked. Choosing one opens it by its
// key, without the device question, as the VIDEO radio would.
void addCameraItems(QMenu& menu, DeviceList& devices, MediaGraph& graph, EffectDialog& dialog);

}  // namespace vz
