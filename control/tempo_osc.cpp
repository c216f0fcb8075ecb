// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/tempo_osc.h"

#include <cmath>
#include <cstring>
#include <string_view>

namespace vz {

namespace {

using Kind = ControllerAction::Kind;

OscResult ignored(const std::string& path, const char* why) {
  return {std::nullopt, path + ": " + why};
}

OscResult act(Kind kind, int value, std::string text = {}) {
  return {ControllerAction{kind, 0, value, std::move(text)}, {}};
}

std::optional<double> number(char type, lo_arg* a) {
  if (type == LO_FLOAT) return a->f;
  if (type == LO_DOUBLE) return a->d;
  if (type == LO_INT32) return a->i;
  if (type == LO_INT64) return static_cast<double>(a->h);
  return std::nullopt;
}

bool known(std::string_view name) {
  for (const char* n : {"tempo", "tap", "cycle-rate", "sequence", "sequence-beats", "quantize"})
    if (name == n) return true;
  return false;
}

}  // namespace

std::optional<OscResult> tempoOscMessage(const std::string& path, const char* types, int argc,
                                         lo_arg** argv) {
  constexpr std::string_view kPrefix = "/videozarnix/";
  if (path.rfind(kPrefix, 0) != 0 || !known(std::string_view(path).substr(kPrefix.size())))
    return std::nullopt;
  const std::string_view name = std::string_view(path).substr(kPrefix.size());
  if (name == "tap") {
    if (argc == 0) return OscResult{ControllerAction{Kind::Tap, 1, 0}, {}};
    if (argc == 1 && types[0] == LO_TRUE) return OscResult{ControllerAction{Kind::Tap, 1, 0}, {}};
    if (argc == 1 && types[0] == LO_FALSE) return OscResult{ControllerAction{Kind::Tap, 0, 0}, {}};
    const auto n = argc == 1 ? number(types[0], argv[0]) : std::nullopt;
    if (!n || std::isnan(*n)) return ignored(path, "expects no argument or a number");
    return OscResult{ControllerAction{Kind::Tap, *n != 0 ? 1 : 0, 0}, {}};
  }
  if (types == nullptr || argc != 1 || std::strlen(types) != 1)
    return ignored(path, "expects one argument");
  const char type = types[0];
  const char* text = type == LO_STRING ? &argv[0]->s : nullptr;
  const auto n = number(type, argv[0]);
  if (name == "tempo") {
    if (text != nullptr) {
      for (const char* s : {"off", "tap", "midi", "link", "audio"})
        if (std::strcmp(text, s) == 0) return act(Kind::TempoSource, 0, s);
      return ignored(path, "expects off, tap, midi, link, audio or a tempo in BPM");
    }
    if (!n || !(*n >= 20.0 && *n <= 300.0)) return ignored(path, "a tempo is 20 to 300 BPM");
    return act(Kind::TempoBpm, static_cast<int>(std::lround(*n * 1000)));
  }
  if (name == "cycle-rate") {
    if (type == LO_INT32)
      for (int rate : {1, 2, 4, 8, 16, 24})
        if (argv[0]->i == rate) return act(Kind::CycleRate, rate);
    return ignored(path, "expects 1, 2, 4, 8, 16 or 24");
  }
  if (name == "sequence-beats") {
    if (type == LO_INT32 && argv[0]->i >= 1 && argv[0]->i <= 64)
      return act(Kind::SequenceBeats, argv[0]->i);
    return ignored(path, "expects 1..64");
  }
  if (name == "sequence") {
    if (text == nullptr) return ignored(path, "expects letters A..Z");
    for (const char* c = text; *c; ++c)
      if (!((*c >= 'A' && *c <= 'Z') || (*c >= 'a' && *c <= 'z')))
        return ignored(path, "expects letters A..Z");
    return act(Kind::Sequence, 0, text);
  }
  // quantize
  if (text != nullptr)
    for (const char* s : {"off", "beat", "bar"})
      if (std::strcmp(text, s) == 0) return act(Kind::Quantize, 0, s);
  return ignored(path, "expects off, beat or bar");
}

}  // namespace vz
