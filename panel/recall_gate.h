// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

namespace vz {

// What may hold a recall back (the tempo, to the next beat or bar): given the slot, true when
// it took the recall over and will make it later through recallPreset itself. GUI thread only.
// None set: every recall happens at once.
using RecallGate = std::function<bool(int slot)>;
void setRecallGate(RecallGate gate);
bool recallHeldByGate(int slot);

}  // namespace vz
