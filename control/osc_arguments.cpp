// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/osc_arguments.h"

#include <cctype>
#include <cmath>

#include "engine/setting_names.h"

namespace vz {

namespace {

using Kind = ControllerAction::Kind;

bool isWhole(const OscArgument& a) {
  return a.type == 'i' || a.type == 'h';
}
bool isFraction(const OscArgument& a) {
  return (a.type == 'f' || a.type == 'd') && a.fraction >= 0.0 && a.fraction <= 1.0;  // NaN: no
}
bool isText(const OscArgument& a) {
  return a.type == 's' || a.type == 'S';
}

Status oneArgument(const OscArguments& args) {
  if (args.size() == 1) return {};
  return Status::failure("expects one argument, got " + std::to_string(args.size()));
}

Result<ControllerAction> slider(const ControlTarget& t, const OscArgument& a) {
  if (isWhole(a))
    if (auto action = actionForInt(t, a.whole)) return *action;
  if (isFraction(a))
    if (auto action = actionForFraction(t, a.fraction)) return *action;
  const int min = t.setting ? t.setting->min : t.sliderMin;
  const int max = t.setting ? t.setting->max : t.sliderMax;
  return Status::failure("expects i " + std::to_string(min) + ".." + std::to_string(max) +
                         " or f 0..1");
}

Result<ControllerAction> mode(const OscArgument& a) {
  if (isText(a)) {
    const int m = findModeName(a.text);
    if (m >= 0) return ControllerAction{Kind::Mode, 0, m};
    return Status::failure("unknown mode '" + a.text + "'");
  }
  if (isWhole(a) && a.whole >= 0 && a.whole <= 9)
    return ControllerAction{Kind::Mode, 0, static_cast<int>(a.whole)};
  if (isFraction(a))
    return ControllerAction{Kind::Mode, 0, static_cast<int>(std::lround(a.fraction * 9))};
  return Status::failure("expects a mode name, i 0..9 or f 0..1");
}

}  // namespace

Result<ControllerAction> oscSwitchRequest(Kind kind, int id, const OscArguments& args) {
  if (Status one = oneArgument(args); !one) return one;
  const OscArgument& a = args[0];
  if ((isWhole(a) && (a.whole == 0 || a.whole == 1)) || a.type == 'T' || a.type == 'F')
    return ControllerAction{kind, id, static_cast<int>(a.whole)};
  if (isFraction(a)) return ControllerAction{kind, id, a.fraction >= 0.5 ? 1 : 0};
  return Status::failure("expects i 0|1, T|F or f 0..1");
}

Result<ControllerAction> oscControlRequest(const ControlTarget& t, const OscArguments& args) {
  switch (t.kind) {
    case ControlTarget::Kind::Switch:
      return oscSwitchRequest(Kind::Switch, t.id, args);
    case ControlTarget::Kind::Mode:
      if (Status one = oneArgument(args); !one) return one;
      return mode(args[0]);
    case ControlTarget::Kind::Tap:
      // A button learned onto the tap may send T and F; a number taps as a switch takes it.
      if (args.size() == 1 && (args[0].type == 'T' || args[0].type == 'F'))
        return ControllerAction{Kind::Tap, args[0].type == 'T' ? 1 : 0, 0};
      break;
    case ControlTarget::Kind::Slider:
      break;
  }
  if (Status one = oneArgument(args); !one) return one;
  return slider(t, args[0]);
}

Result<ControllerAction> oscPresetRequest(const OscArguments& args) {
  if (Status one = oneArgument(args); !one) return one;
  const OscArgument& a = args[0];
  if (isText(a) && a.text.size() == 1 && std::isalpha(static_cast<unsigned char>(a.text[0])))
    return ControllerAction{Kind::Preset, 0,
                            std::toupper(static_cast<unsigned char>(a.text[0])) - 'A'};
  if (isWhole(a) && a.whole >= 0 && a.whole < 26)
    return ControllerAction{Kind::Preset, 0, static_cast<int>(a.whole)};
  return Status::failure("expects a letter A..Z or i 0..25");
}

Result<ControllerAction> oscFadeRequest(const OscArguments& args) {
  if (Status one = oneArgument(args); !one) return one;
  const OscArgument& a = args[0];
  double seconds = -1;
  if (isWhole(a)) seconds = static_cast<double>(a.whole);
  if (a.type == 'f' || a.type == 'd') seconds = a.fraction;
  if (seconds >= 0 && seconds <= 60)  // NaN: no
    return ControllerAction{Kind::Fade, 0, static_cast<int>(std::lround(seconds * 1000))};
  return Status::failure("expects seconds 0..60");
}

}  // namespace vz
