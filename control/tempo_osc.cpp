// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/tempo_osc.h"

#include <cmath>
#include <string_view>

namespace vz {

namespace {

using Kind = ControllerAction::Kind;

Result<ControllerAction> act(Kind kind, int value, std::string text = {}) {
  return ControllerAction{kind, 0, value, std::move(text)};
}

std::optional<double> number(const OscArgument& a) {
  if (a.type == 'f' || a.type == 'd') return a.fraction;
  if (a.type == 'i' || a.type == 'h') return static_cast<double>(a.whole);
  return std::nullopt;
}

bool isText(const OscArgument& a) {
  return a.type == 's' || a.type == 'S';
}

bool known(std::string_view name) {
  for (const char* n : {"tempo", "tap", "cycle-rate", "sequence", "sequence-beats", "quantize"})
    if (name == n) return true;
  return false;
}

Result<ControllerAction> tap(const OscArguments& args) {
  if (args.empty()) return ControllerAction{Kind::Tap, 1, 0};
  if (args.size() == 1 && (args[0].type == 'T' || args[0].type == 'F'))
    return ControllerAction{Kind::Tap, args[0].type == 'T' ? 1 : 0, 0};
  const auto n = args.size() == 1 ? number(args[0]) : std::nullopt;
  if (!n || std::isnan(*n)) return Status::failure("expects no argument or a number");
  return ControllerAction{Kind::Tap, *n != 0 ? 1 : 0, 0};
}

}  // namespace

std::optional<Result<ControllerAction>> tempoOscRequest(const std::string& address,
                                                        const OscArguments& args) {
  constexpr std::string_view kPrefix = "/videozarnix/";
  if (address.rfind(kPrefix, 0) != 0) return std::nullopt;
  const std::string_view name = std::string_view(address).substr(kPrefix.size());
  if (!known(name)) return std::nullopt;
  if (name == "tap") return tap(args);
  if (args.size() != 1) return Status::failure("expects one argument");
  const OscArgument& a = args[0];
  const auto n = number(a);
  if (name == "tempo") {
    if (isText(a)) {
      for (const char* s : {"off", "tap", "midi", "link", "audio"})
        if (a.text == s) return act(Kind::TempoSource, 0, s);
      return Status::failure("expects off, tap, midi, link, audio or a tempo in BPM");
    }
    if (!n || !(*n >= 20.0 && *n <= 300.0)) return Status::failure("a tempo is 20 to 300 BPM");
    return act(Kind::TempoBpm, static_cast<int>(std::lround(*n * 1000)));
  }
  if (name == "cycle-rate") {
    if (a.type == 'i')
      for (int rate : {1, 2, 4, 8, 16, 24})
        if (a.whole == rate) return act(Kind::CycleRate, rate);
    return Status::failure("expects 1, 2, 4, 8, 16 or 24");
  }
  if (name == "sequence-beats") {
    if (a.type == 'i' && a.whole >= 1 && a.whole <= 64)
      return act(Kind::SequenceBeats, static_cast<int>(a.whole));
    return Status::failure("expects 1..64");
  }
  if (name == "sequence") {
    if (!isText(a)) return Status::failure("expects letters A..Z");
    for (char c : a.text)
      if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')))
        return Status::failure("expects letters A..Z");
    return act(Kind::Sequence, 0, a.text);
  }
  if (isText(a))  // quantize
    for (const char* s : {"off", "beat", "bar"})
      if (a.text == s) return act(Kind::Quantize, 0, s);
  return Status::failure("expects off, beat or bar");
}

}  // namespace vz
