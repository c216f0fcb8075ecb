// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/tempo_feedback.h"

#include <cmath>
#include <utility>

namespace vz {

void addTempoFeedback(LookChanges& changes, const TempoClock& clock,
                      std::function<std::int64_t()> now) {
  // Rounded, so a clock that follows MIDI or the room's sound does not send every jitter.
  changes.add({"tempo", [&clock]() -> std::optional<FeedbackValue> {
                 const TempoState s = clock.read();
                 return FeedbackValue(s.running ? static_cast<float>(std::round(s.bpm * 10) / 10)
                                                : 0.0f);
               }});
  changes.add({"beat", [&clock, now = std::move(now)]() -> std::optional<FeedbackValue> {
                 const TempoState s = clock.read();
                 if (!s.running) return std::nullopt;
                 const double beat = std::floor(beatAt(s, now()));
                 const double inBar = beat - kBeatsPerBar * std::floor(beat / kBeatsPerBar);
                 return FeedbackValue(static_cast<int>(inBar) + 1);
               }});
}

}  // namespace vz
