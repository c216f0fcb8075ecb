// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string_view>

#include "control/controller_actions.h"
#include "engine/setting_names.h"

namespace vz {

// A control that remote messages reach by name: one channel of a settings row's dialog
// control (its id, and how slider positions give engine values), or the mode.
struct ControlTarget {
  enum class Kind { Slider, Switch, Mode, Tap };
  const char* name;  // "gain/red", "floor", "mirror", "mode"
  Kind kind;
  int id;  // 0 for the mode
  int sliderMin = 0, sliderMax = 0;
  int reverseFrom = 0;                    // 0: engine value = position
  const NamedSetting* setting = nullptr;  // nullptr for the mode
  int channel = 0;
};

// Every remote-controllable control: the sliders and switches named as the frame filter's
// options, then "mode", then "tap" (tap tempo: MIDI-learnable like a control).
const ControlTarget* controlTargets(int* count);
const ControlTarget* findControlTarget(std::string_view name);
const ControlTarget* controlTargetById(int id);

// The engine values a slider can give, lowest first.
int lowestValue(const ControlTarget& t);
int highestValue(const ControlTarget& t);
int engineValueAt(const ControlTarget& t, int position);
// The slider position whose engine value is nearest to `value`.
int positionFor(const ControlTarget& t, int value);

// OSC-style requests: an engine value as the filter takes it (nothing when out of the
// filter's range; a switch is on for any non-zero value), or a fraction 0..1 from the
// lowest to the highest value.
std::optional<ControllerAction> actionForInt(const ControlTarget& t, long long value);
std::optional<ControllerAction> actionForFraction(const ControlTarget& t, double fraction);

}  // namespace vz
