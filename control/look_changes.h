// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "control/control_targets.h"
#include "engine/video_engine.h"

namespace vz {

// One value as feedback carries it: an engine value, a name (mode, preset letter) or, for
// values that are not whole numbers, a float.
using FeedbackValue = std::variant<int, float, std::string>;

// One entry of the reported state: its address under /videozarnix/ and how to read it now
// (nothing while it has no value, e.g. before the first recall).
struct StateItem {
  std::string name;
  std::function<std::optional<FeedbackValue>()> read;
  const ControlTarget* target = nullptr;  // the control it shows, if any (MIDI mappings)
};

struct StateChange {
  int item;
  FeedbackValue value;
  bool operator==(const StateChange&) const = default;
};

// Finds what changed in the look and the state since it was last reported, whatever
// changed it: the values are read and compared, so the dialog, a letter key, MIDI, OSC, a
// sequence and a fade's end all count alike. Each item is reported at most 60 times a
// second; a value held back by that is reported by a later poll, so the last one always
// goes out. GUI thread only; the clock is handed in (steady-clock nanoseconds).
class LookChanges {
 public:
  static constexpr std::int64_t kMinGapNs = 1'000'000'000 / 60;

  int add(StateItem item);
  int size() const { return static_cast<int>(entries_.size()); }
  const StateItem& item(int index) const { return entries_[index].item; }
  // The item named so ("gain/red"), or -1.
  int find(std::string_view name) const;

  // A recall: the next poll reports every value, changed or not, without waiting.
  void recalled() { recalled_ = true; }
  bool recallPending() const { return recalled_; }
  // The changes to send now, and they count as sent.
  std::vector<StateChange> poll(std::int64_t nowNs);
  // Every value as it is now (queries, a new subscriber), without counting it as sent.
  std::vector<StateChange> everything() const;
  std::optional<FeedbackValue> current(int index) const { return entries_[index].item.read(); }

 private:
  struct Entry {
    StateItem item;
    std::optional<FeedbackValue> sent;
    std::int64_t sentAt = 0;
    bool everSent = false;
  };
  std::vector<Entry> entries_;
  bool recalled_ = false;
};

// What the program reports, in this order: every slider's and switch's engine value, the
// mode (its name, or the number of a mode without one), the letter last recalled, full
// screen and recording. Later state (tempo, beat) is one more add() after these.
struct EngineStateHooks {
  std::function<std::optional<int>()> lastRecalled;  // slot 0..25, nothing before a recall
  std::function<bool()> recording;                   // empty: never recording
};
void addEngineState(LookChanges& changes, const VideoEngine& engine, EngineStateHooks hooks);

}  // namespace vz
