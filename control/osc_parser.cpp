// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/osc_parser.h"

#include <lo/lo_lowlevel.h>

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

#include "control/control_targets.h"
#include "control/tempo_osc.h"
#include "engine/setting_names.h"

namespace vz {

namespace {

using Kind = ControllerAction::Kind;
constexpr std::string_view kPrefix = "/videozarnix/";
constexpr int kMaxBundleDepth = 8;

struct Argument {
  char type;
  lo_arg* value;
  // An integer argument (i, h) or a float (f, d) as a number; T/F as 1/0.
  std::optional<long long> whole() const {
    if (type == LO_INT32) return value->i;
    if (type == LO_INT64) return value->h;
    if (type == LO_TRUE) return 1;
    if (type == LO_FALSE) return 0;
    return std::nullopt;
  }
  std::optional<double> fraction() const {
    if (type == LO_FLOAT) return value->f;
    if (type == LO_DOUBLE) return value->d;
    return std::nullopt;
  }
};

OscResult ignored(std::string why) {
  return {std::nullopt, std::move(why)};
}

OscResult onOff(Kind kind, const Argument& a) {
  if (auto w = a.whole()) return {ControllerAction{kind, 0, *w != 0}, {}};
  if (auto f = a.fraction(); f && !std::isnan(*f)) return {ControllerAction{kind, 0, *f != 0}, {}};
  return ignored("expects 0 or 1");
}

OscResult preset(const Argument& a) {
  if (a.type == LO_STRING) {
    const char* s = &a.value->s;
    if (std::strlen(s) == 1 && std::isalpha(static_cast<unsigned char>(s[0])))
      return {
          ControllerAction{Kind::Preset, 0, std::toupper(static_cast<unsigned char>(s[0])) - 'A'},
          {}};
    return ignored("expects a letter A..Z");
  }
  if (auto w = a.whole(); w && a.type == LO_INT32 && *w >= 0 && *w < 26)
    return {ControllerAction{Kind::Preset, 0, static_cast<int>(*w)}, {}};
  return ignored("expects a letter or 0..25");
}

OscResult mode(const Argument& a) {
  if (a.type == LO_STRING) {
    const int m = findModeName(&a.value->s);
    if (m >= 0) return {ControllerAction{Kind::Mode, 0, m}, {}};
    return ignored("unknown mode");
  }
  if (auto w = a.whole(); w && a.type == LO_INT32 && *w >= 0 && *w <= 9)
    return {ControllerAction{Kind::Mode, 0, static_cast<int>(*w)}, {}};
  return ignored("expects a mode name or 0..9");
}

OscResult control(const ControlTarget& t, const Argument& a) {
  std::optional<ControllerAction> action;
  if (a.type == LO_INT32 || a.type == LO_INT64) {
    action = actionForInt(t, *a.whole());
  } else if (auto f = a.fraction()) {
    action = actionForFraction(t, *f);
  } else if (t.kind == ControlTarget::Kind::Switch && a.whole()) {
    action = actionForInt(t, *a.whole());  // T or F
  }
  if (action) return {action, {}};
  return ignored("value out of range or of the wrong type");
}

OscResult message(std::string_view path, const Argument& a) {
  const std::string_view name = path.substr(kPrefix.size());
  if (name == "preset") return preset(a);
  if (name == "mode") return mode(a);
  if (name == "fullscreen") return onOff(Kind::FullScreen, a);
  if (name == "record") return onOff(Kind::Record, a);
  if (const ControlTarget* t = findControlTarget(name); t && t->kind != ControlTarget::Kind::Mode)
    return control(*t, a);
  return ignored("unknown address");
}

void parseElement(const uint8_t* data, size_t size, int depth, std::vector<OscResult>& out);

void parseBundle(const uint8_t* data, size_t size, int depth, std::vector<OscResult>& out) {
  if (depth >= kMaxBundleDepth) return out.push_back(ignored("bundles nested too deep"));
  size_t at = 16;  // "#bundle\0" and the time tag
  if (size < at) return out.push_back(ignored("truncated bundle"));
  while (at < size) {
    if (size - at < 4) return out.push_back(ignored("truncated bundle element"));
    const uint32_t length = (uint32_t{data[at]} << 24) | (uint32_t{data[at + 1]} << 16) |
                            (uint32_t{data[at + 2]} << 8) | data[at + 3];
    at += 4;
    if (length > size - at) return out.push_back(ignored("bundle element overruns the packet"));
    parseElement(data + at, length, depth + 1, out);
    at += length;
  }
}

void parseElement(const uint8_t* data, size_t size, int depth, std::vector<OscResult>& out) {
  if (size >= 8 && std::memcmp(data, "#bundle", 8) == 0) return parseBundle(data, size, depth, out);
  const void* nul = size > 0 ? std::memchr(data, '\0', size) : nullptr;
  if (nul == nullptr || data[0] != '/') return out.push_back(ignored("not an OSC message"));
  const std::string path(reinterpret_cast<const char*>(data));
  // liblo reads the message from a copy: it may be handed the buffer of a bundle.
  std::unique_ptr<uint8_t[]> copy(new uint8_t[size]);
  std::memcpy(copy.get(), data, size);
  int result = 0;
  const lo_message m = lo_message_deserialise(copy.get(), size, &result);
  if (m == nullptr) return out.push_back(ignored(path + ": malformed message"));
  const std::unique_ptr<std::remove_pointer_t<lo_message>, void (*)(lo_message)> owner(
      m, lo_message_free);
  const char* types = lo_message_get_types(m);
  if (path.rfind(kPrefix, 0) != 0) return out.push_back(ignored(path + ": unknown address"));
  if (auto r = tempoOscMessage(path, types, lo_message_get_argc(m), lo_message_get_argv(m)))
    return out.push_back(std::move(*r));
  if (types == nullptr || std::strlen(types) != 1 || lo_message_get_argc(m) != 1)
    return out.push_back(ignored(path + ": expects one argument"));
  OscResult r = message(path, Argument{types[0], lo_message_get_argv(m)[0]});
  if (!r.action) r.problem = path + ": " + r.problem;
  out.push_back(std::move(r));
}

}  // namespace

std::vector<OscResult> parseOscPacket(const void* data, size_t size) {
  std::vector<OscResult> out;
  parseElement(static_cast<const uint8_t*>(data), size, 0, out);
  return out;
}

}  // namespace vz
