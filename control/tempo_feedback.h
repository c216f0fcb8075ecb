// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>

#include "control/look_changes.h"
#include "tempo/tempo_clock.h"

namespace vz {

// The tempo as feedback: /videozarnix/tempo f BPM to a tenth (0 with no tempo), and
// /videozarnix/beat i 1..4 within the bar while a tempo runs. `now` gives steady-clock ns.
void addTempoFeedback(LookChanges& changes, const TempoClock& clock,
                      std::function<std::int64_t()> now = steadyNowNs);

}  // namespace vz
