// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/osc_parser.h"

#include <lo/lo_lowlevel.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

#include "control/control_targets.h"
#include "control/osc_pattern.h"
#include "control/tempo_osc.h"

namespace vz {

namespace {

using Kind = ControllerAction::Kind;
constexpr int kMaxBundleDepth = 8;
constexpr size_t kLongestPattern = 1024;  // matching costs its length times each address's

// One of our own addresses and what reads its arguments.
struct OwnAddress {
  std::string address;
  enum class What { Preset, FullScreen, Record, Fade, Control } what;
  const ControlTarget* target = nullptr;
};

std::vector<OwnAddress> buildOwnAddresses() {
  std::vector<OwnAddress> out = {{"/videozarnix/preset", OwnAddress::What::Preset},
                                 {"/videozarnix/fullscreen", OwnAddress::What::FullScreen},
                                 {"/videozarnix/record", OwnAddress::What::Record},
                                 {"/videozarnix/fade", OwnAddress::What::Fade}};
  int count = 0;
  const ControlTarget* targets = controlTargets(&count);
  for (int i = 0; i < count; ++i)
    if (targets[i].kind != ControlTarget::Kind::Tap)  // /videozarnix/tap is the tempo's
      out.push_back(
          {std::string("/videozarnix/") + targets[i].name, OwnAddress::What::Control, &targets[i]});
  return out;
}

const std::vector<OwnAddress>& ownAddresses() {
  static const std::vector<OwnAddress> table = buildOwnAddresses();
  return table;
}

Result<ControllerAction> request(const OwnAddress& own, const OscArguments& args) {
  switch (own.what) {
    case OwnAddress::What::Preset:
      return oscPresetRequest(args);
    case OwnAddress::What::FullScreen:
      return oscSwitchRequest(Kind::FullScreen, 0, args);
    case OwnAddress::What::Record:
      return oscSwitchRequest(Kind::Record, 0, args);
    case OwnAddress::What::Fade:
      return oscFadeRequest(args);
    case OwnAddress::What::Control:
      break;
  }
  return oscControlRequest(*own.target, args);
}

// The request, or its refusal with `name` in front.
Result<ControllerAction> named(const std::string& name, Result<ControllerAction> r) {
  if (r) return r;
  return Result<ControllerAction>::failure(name + ": " + r.message());
}

std::optional<OscUnknown> learnable(const std::string& address, const OscArguments& args) {
  if (args.size() != 1 || !isLearnableOscAddress(address)) return std::nullopt;
  const char t = args[0].type;
  if (t == 'f' || t == 'd') return OscUnknown{address, OscForm::Float, args[0]};
  if (t == 'i' || t == 'h' || t == 'T' || t == 'F')
    return OscUnknown{address, OscForm::Int, args[0]};
  return std::nullopt;
}

struct Parse {
  const OscMappings* learned;
  std::vector<OscOutcome> out;

  void refuse(std::string why, OscTimeTag time = kOscImmediately) {
    out.push_back({Result<ControllerAction>::failure(std::move(why)), time, std::nullopt});
  }

  void message(const std::string& address, const OscArguments& args, OscTimeTag time) {
    std::string types;
    for (const OscArgument& a : args) types += a.type;
    const char* first = !args.empty() && (args[0].type == 's' || args[0].type == 'S')
                            ? args[0].text.c_str()
                            : nullptr;
    if (auto r = parseOscRequest(address, types.c_str(), first)) {
      if (!r->request) return refuse(address + ": " + r->problem, time);
      out.push_back({Result<ControllerAction>::failure(address + ": a request"), time, std::nullopt,
                     std::move(r->request)});
      return;
    }
    if (!isOscPattern(address)) {
      if (auto tempo = tempoOscRequest(address, args))
        return out.push_back({named(address, std::move(*tempo)), time, std::nullopt});
      for (const OwnAddress& own : ownAddresses())
        if (own.address == address)
          return out.push_back({named(address, request(own, args)), time, std::nullopt});
      if (learned != nullptr)
        if (auto m = learned->find(address))
          return out.push_back(
              {named(address, oscControlRequest(*m->target, args)), time, std::nullopt});
      out.push_back({Result<ControllerAction>::failure(address + ": unknown address"), time,
                     learnable(address, args)});
      return;
    }
    if (address.size() > kLongestPattern) return refuse(address + ": pattern too long", time);
    const size_t before = out.size();
    for (const OwnAddress& own : ownAddresses())
      if (oscPatternMatches(address, own.address))
        out.push_back(
            {named(address + " (" + own.address + ")", request(own, args)), time, std::nullopt});
    if (learned != nullptr)
      for (const OscMapping& m : learned->matching(address))
        out.push_back({named(address + " (" + m.address + ")", oscControlRequest(*m.target, args)),
                       time, std::nullopt});
    if (out.size() == before) refuse(address + ": no address matches", time);
  }

  void element(const uint8_t* data, size_t size, int depth, OscTimeTag time);
  void bundle(const uint8_t* data, size_t size, int depth, OscTimeTag time);
};

// One argument as liblo decoded it. OSC aligns arguments to 4 bytes only, so the 8-byte ones
// are copied out rather than read through the union.
template <class T>
T read(const lo_arg* value) {
  T v;
  std::memcpy(&v, value, sizeof v);
  return v;
}

OscArgument argument(char type, const lo_arg* value) {
  OscArgument a{type};
  switch (type) {
    case LO_INT32:
      a.whole = read<int32_t>(value);
      break;
    case LO_INT64:
      a.whole = read<int64_t>(value);
      break;
    case LO_FLOAT:
      a.fraction = read<float>(value);
      break;
    case LO_DOUBLE:
      a.fraction = read<double>(value);
      break;
    case LO_STRING:
    case LO_SYMBOL:
      a.text = reinterpret_cast<const char*>(value);
      break;
    case LO_TRUE:
      a.whole = 1;
      break;
    default:
      break;  // F, and types nothing takes
  }
  return a;
}

uint64_t bigEndian(const uint8_t* p, int bytes) {
  uint64_t v = 0;
  for (int i = 0; i < bytes; ++i) v = (v << 8) | p[i];
  return v;
}

void Parse::bundle(const uint8_t* data, size_t size, int depth, OscTimeTag time) {
  if (depth >= kMaxBundleDepth) return refuse("bundles nested too deep");
  size_t at = 16;  // "#bundle\0" and the time tag
  if (size < at) return refuse("truncated bundle");
  time = depth == 0 ? bigEndian(data + 8, 8) : oscInnerTime(time, bigEndian(data + 8, 8));
  while (at < size) {
    if (size - at < 4) return refuse("truncated bundle element");
    const auto length = static_cast<uint32_t>(bigEndian(data + at, 4));
    at += 4;
    if (length > size - at) return refuse("bundle element overruns the packet");
    element(data + at, length, depth + 1, time);
    at += length;
  }
}

void Parse::element(const uint8_t* data, size_t size, int depth, OscTimeTag time) {
  if (size >= 8 && std::memcmp(data, "#bundle", 8) == 0) return bundle(data, size, depth, time);
  const void* nul = size > 0 ? std::memchr(data, '\0', size) : nullptr;
  if (nul == nullptr || data[0] != '/') return refuse("not an OSC message", time);
  const std::string address(reinterpret_cast<const char*>(data));
  // liblo reads the message from a copy: it may be handed the buffer of a bundle.
  std::unique_ptr<uint8_t[]> copy(new uint8_t[size]);
  std::memcpy(copy.get(), data, size);
  int result = 0;
  const lo_message m = lo_message_deserialise(copy.get(), size, &result);
  if (m == nullptr) return refuse(address + ": malformed message", time);
  const std::unique_ptr<std::remove_pointer_t<lo_message>, void (*)(lo_message)> owner(
      m, lo_message_free);
  const char* types = lo_message_get_types(m);
  const int argc = lo_message_get_argc(m);
  lo_arg** argv = lo_message_get_argv(m);
  OscArguments args;
  for (int i = 0; i < argc && types != nullptr && types[i] != '\0'; ++i)
    args.push_back(argument(types[i], argv[i]));
  message(address, args, time);
}

}  // namespace

std::vector<OscOutcome> parseOscPacket(const void* data, size_t size, const OscMappings* learned) {
  Parse parse{learned, {}};
  parse.element(static_cast<const uint8_t*>(data), size, 0, kOscImmediately);
  return std::move(parse.out);
}

}  // namespace vz
