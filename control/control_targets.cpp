// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/control_targets.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <string>
#include <vector>

namespace vz {

namespace {

using K = ControlTarget::Kind;

std::vector<ControlTarget> buildTargets() {
  static std::deque<std::string> names;  // storage for the composed names, never moved
  std::vector<ControlTarget> out;
  for (const NamedSetting& s : kNamedSettings) {
    const SettingControl& c = s.control;
    if (c.kind == SettingControl::Kind::None) continue;
    const K kind = c.kind == SettingControl::Kind::Slider ? K::Slider : K::Switch;
    for (int ch = 0; ch < s.channels; ++ch) {
      names.push_back(s.channels == 1 ? std::string(s.name)
                                      : std::string(s.name) + "/" + kChannelNames[ch]);
      out.push_back(
          {names.back().c_str(), kind, c.ids[ch], c.sliderMin, c.sliderMax, c.reverseFrom, &s, ch});
    }
  }
  out.push_back({"mode", K::Mode, 0, 0, 9});
  out.push_back({"tap", K::Tap, 0, 0, 1});
  return out;
}

const std::vector<ControlTarget>& targets() {
  static const std::vector<ControlTarget> table = buildTargets();
  return table;
}

}  // namespace

const ControlTarget* controlTargets(int* count) {
  *count = static_cast<int>(targets().size());
  return targets().data();
}

const ControlTarget* findControlTarget(std::string_view name) {
  for (const ControlTarget& t : targets())
    if (name == t.name) return &t;
  return nullptr;
}

const ControlTarget* controlTargetById(int id) {
  for (const ControlTarget& t : targets())
    if (t.id == id && t.kind != K::Mode && t.kind != K::Tap) return &t;
  return nullptr;
}

int engineValueAt(const ControlTarget& t, int position) {
  return t.reverseFrom != 0 ? t.reverseFrom - position : position;
}

int lowestValue(const ControlTarget& t) {
  return std::min(engineValueAt(t, t.sliderMin), engineValueAt(t, t.sliderMax));
}
int highestValue(const ControlTarget& t) {
  return std::max(engineValueAt(t, t.sliderMin), engineValueAt(t, t.sliderMax));
}

int positionFor(const ControlTarget& t, int value) {
  const int position = t.reverseFrom != 0 ? t.reverseFrom - value : value;
  return std::clamp(position, t.sliderMin, t.sliderMax);
}

namespace {

ControllerAction actionWithValue(const ControlTarget& t, int value) {
  switch (t.kind) {
    case K::Slider:
      return {ControllerAction::Kind::Slider, t.id, positionFor(t, value)};
    case K::Switch:
      return {ControllerAction::Kind::Switch, t.id, value != 0 ? 1 : 0};
    case K::Tap:
      return {ControllerAction::Kind::Tap, value != 0 ? 1 : 0, 0};
    case K::Mode:
      break;
  }
  return {ControllerAction::Kind::Mode, 0, value};
}

}  // namespace

std::optional<ControllerAction> actionForInt(const ControlTarget& t, long long value) {
  if (t.kind == K::Switch || t.kind == K::Tap)
    return actionWithValue(t, value != 0);  // set, never toggled
  const int min = t.setting ? t.setting->min : t.sliderMin;
  const int max = t.setting ? t.setting->max : t.sliderMax;
  if (value < min || value > max) return std::nullopt;
  return actionWithValue(t, static_cast<int>(value));
}

std::optional<ControllerAction> actionForFraction(const ControlTarget& t, double fraction) {
  if (!(fraction >= 0.0 && fraction <= 1.0)) return std::nullopt;  // NaN too
  if (t.kind == K::Switch || t.kind == K::Tap) return actionWithValue(t, fraction != 0.0);
  const int low = lowestValue(t), high = highestValue(t);
  return actionWithValue(t, low + static_cast<int>(std::lround(fraction * (high - low))));
}

}  // namespace vz
