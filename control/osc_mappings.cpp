// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/osc_mappings.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "control/osc_pattern.h"
#include "files/user_file.h"

namespace vz {

namespace {
constexpr size_t kLongestAddress = 256;
constexpr size_t kMappingsFileLimit = 1 << 20;
constexpr std::string_view kOwnPrefix = "/videozarnix";
}  // namespace

std::variant<int, float> oscLearnedValue(const OscMapping& m, int engineValue) {
  if (m.form == OscForm::Int) return engineValue;
  const ControlTarget& t = *m.target;
  switch (t.kind) {
    case ControlTarget::Kind::Switch:
    case ControlTarget::Kind::Tap:  // no state of its own: shown as a switch would be
      return engineValue != 0 ? 1.0f : 0.0f;
    case ControlTarget::Kind::Mode:
      return std::clamp(engineValue, 0, 9) / 9.0f;
    case ControlTarget::Kind::Slider:
      break;
  }
  const int low = lowestValue(t), high = highestValue(t);
  if (high == low) return 0.0f;
  return std::clamp(static_cast<float>(engineValue - low) / static_cast<float>(high - low), 0.0f,
                    1.0f);
}

bool isLearnableOscAddress(std::string_view a) {
  if (a.size() < 2 || a.size() > kLongestAddress || a[0] != '/' || a.back() == '/') return false;
  if (a.substr(0, kOwnPrefix.size()) == kOwnPrefix &&
      (a.size() == kOwnPrefix.size() || a[kOwnPrefix.size()] == '/'))
    return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const char c = a[i];
    if (c <= ' ' || c > '~' || std::string_view("#*,?[]{}").find(c) != std::string_view::npos)
      return false;
    if (c == '/' && i > 0 && a[i - 1] == '/') return false;
  }
  return true;
}

std::optional<OscMapping> OscMappings::find(std::string_view address) const {
  const std::lock_guard lock(mutex_);
  for (const OscMapping& m : all_)
    if (m.address == address) return m;
  return std::nullopt;
}

std::vector<OscMapping> OscMappings::matching(std::string_view pattern) const {
  const std::lock_guard lock(mutex_);
  std::vector<OscMapping> out;
  for (const OscMapping& m : all_)
    if (oscPatternMatches(pattern, m.address)) out.push_back(m);
  return out;
}

std::vector<OscMapping> OscMappings::all() const {
  const std::lock_guard lock(mutex_);
  return all_;
}

void OscMappings::set(const OscMapping& mapping) {
  const std::lock_guard lock(mutex_);
  for (OscMapping& m : all_)
    if (m.address == mapping.address) {
      m = mapping;
      return;
    }
  all_.push_back(mapping);
}

void OscMappings::clear() {
  const std::lock_guard lock(mutex_);
  all_.clear();
}

std::vector<OscMapping> parseOscMappings(std::string_view text,
                                         std::vector<std::string>* problems) {
  std::vector<OscMapping> out;
  std::istringstream in{std::string(text)};
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    if (const size_t hash = line.find('#'); hash != std::string::npos) line.resize(hash);
    std::istringstream words(line);
    std::string address, control, form, extra;
    if (!(words >> address) || address[0] != '/') continue;  // blank, or a MIDI line
    words >> control >> form >> extra;
    std::string why;
    OscMapping m{address, findControlTarget(control),
                 form == "int" ? OscForm::Int : OscForm::Float};
    if (!isLearnableOscAddress(address))
      why = "'" + address + "' is not an address that can be learned";
    else if (control.empty())
      why = "expected ADDRESS CONTROL float|int";
    else if (m.target == nullptr)
      why = "unknown control '" + control + "'";
    else if (form != "float" && form != "int")
      why = "form '" + form + "' is not float or int";
    else if (!extra.empty())
      why = "unexpected '" + extra + "'";
    if (why.empty())
      out.push_back(m);
    else if (problems)
      problems->push_back("line " + std::to_string(number) + ": " + why);
  }
  return out;
}

std::string formatOscMapping(const OscMapping& m) {
  return m.address + ' ' + m.target->name + (m.form == OscForm::Int ? " int" : " float");
}

std::string formatOscMappings(const std::vector<OscMapping>& mappings) {
  if (mappings.empty()) return {};
  std::string out = "# OSC: ADDRESS CONTROL float|int\n";
  for (const OscMapping& m : mappings) out += formatOscMapping(m) + '\n';
  return out;
}

std::optional<std::string> oscLineKey(std::string_view line) {
  const std::vector<OscMapping> m = parseOscMappings(line, nullptr);
  if (m.size() != 1) return std::nullopt;
  return m.front().address;
}

std::vector<OscMapping> loadOscMappingsFile(const std::string& path) {
  const UserFile file = readUserFile(path, kMappingsFileLimit);
  if (file.status != UserFileStatus::Ok) return {};
  std::vector<std::string> problems;
  auto mappings = parseOscMappings(file.data, &problems);
  for (const std::string& p : problems)
    std::fprintf(stderr, "videozarnix: %s: %s (skipped)\n", path.c_str(), p.c_str());
  return mappings;
}

}  // namespace vz
