// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/midi_mappings.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "files/user_file.h"

namespace vz {

namespace {
constexpr size_t kMappingsFileLimit = 1 << 20;  // far beyond 16 channels x 128 controllers
}  // namespace

MidiMapping fullRangeMapping(int channel, int controller, const ControlTarget& t) {
  return {channel, controller, &t, lowestValue(t), highestValue(t), false};
}

ControllerAction mappedAction(const MidiMapping& m, int value) {
  const int v = m.invert ? 127 - value : value;
  const ControlTarget& t = *m.target;
  switch (t.kind) {
    case ControlTarget::Kind::Switch:
      return {ControllerAction::Kind::Switch, t.id, v >= 64 ? 1 : 0};
    case ControlTarget::Kind::Mode:
      return {ControllerAction::Kind::Mode, 0, v * 7 / 128};
    case ControlTarget::Kind::Tap:
      return {ControllerAction::Kind::Tap, v >= 64 ? 1 : 0, 0};
    case ControlTarget::Kind::Slider:
      break;
  }
  const int engine = m.low + static_cast<int>(std::lround((m.high - m.low) * v / 127.0));
  return {ControllerAction::Kind::Slider, t.id, positionFor(t, engine)};
}

std::optional<ControllerAction> MidiMappings::map(int channel, int controller, int value) const {
  for (const MidiMapping& m : all_)
    if (m.channel == channel && m.controller == controller) return mappedAction(m, value);
  return std::nullopt;
}

void MidiMappings::set(const MidiMapping& mapping) {
  for (MidiMapping& m : all_)
    if (m.channel == mapping.channel && m.controller == mapping.controller) {
      m = mapping;
      return;
    }
  all_.push_back(mapping);
}

namespace {

bool parseWhole(const std::string& word, int min, int max, int* out) {
  const char* end = word.data() + word.size();
  const auto [ptr, ec] = std::from_chars(word.data(), end, *out);
  return !word.empty() && ec == std::errc() && ptr == end && *out >= min && *out <= max;
}

std::optional<MidiMapping> reject(std::string* why, std::string reason) {
  *why = std::move(reason);
  return std::nullopt;
}

// One line's mapping, or a reason why there is none.
std::optional<MidiMapping> parseLine(const std::string& line, std::string* why) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  MidiMapping m;
  if (words.size() < 3) return reject(why, "expected CHANNEL CONTROLLER CONTROL");
  int channel = 0;
  if (!parseWhole(words[0], 1, 16, &channel))
    return reject(why, "channel '" + words[0] + "' is not 1..16");
  m.channel = channel - 1;
  if (!parseWhole(words[1], 0, 127, &m.controller))
    return reject(why, "controller '" + words[1] + "' is not 0..127");
  m.target = findControlTarget(words[2]);
  if (m.target == nullptr) return reject(why, "unknown control '" + words[2] + "'");
  const MidiMapping full = fullRangeMapping(m.channel, m.controller, *m.target);
  m.low = full.low, m.high = full.high;
  size_t next = 3;
  if (words.size() >= 5 && words[3] != "invert") {
    const int min = m.target->setting ? m.target->setting->min : full.low;
    const int max = m.target->setting ? m.target->setting->max : full.high;
    if (!parseWhole(words[3], min, max, &m.low) || !parseWhole(words[4], min, max, &m.high))
      return reject(why, "range '" + words[3] + " " + words[4] + "' is not within " +
                             std::to_string(min) + ".." + std::to_string(max));
    next = 5;
  }
  if (next < words.size() && words[next] == "invert") {
    m.invert = true;
    ++next;
  }
  if (next != words.size()) return reject(why, "unexpected '" + words[next] + "'");
  return m;
}

}  // namespace

std::vector<MidiMapping> parseMappings(std::string_view text, std::vector<std::string>* problems) {
  std::vector<MidiMapping> out;
  std::istringstream in{std::string(text)};
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    if (const size_t hash = line.find('#'); hash != std::string::npos) line.resize(hash);
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    std::string why;
    if (auto m = parseLine(line, &why)) {
      out.push_back(*m);
    } else if (problems) {
      problems->push_back("line " + std::to_string(number) + ": " + why);
    }
  }
  return out;
}

std::string formatMappings(const std::vector<MidiMapping>& mappings) {
  std::string out =
      "# Video Zarnix MIDI mappings: CHANNEL(1..16) CONTROLLER(0..127) CONTROL LOW HIGH "
      "[invert]\n";
  for (const MidiMapping& m : mappings) {
    out += std::to_string(m.channel + 1) + ' ' + std::to_string(m.controller) + ' ' +
           m.target->name + ' ' + std::to_string(m.low) + ' ' + std::to_string(m.high);
    if (m.invert) out += " invert";
    out += '\n';
  }
  return out;
}

std::string midiMappingsPath() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::string base;
  if (config != nullptr && config[0] == '/') {
    base = config;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
    base = std::string(home) + "/.config";
  } else {
    return {};
  }
  return base + "/videozarnix/midi-mappings";
}

std::vector<MidiMapping> loadMappingsFile(const std::string& path) {
  // Read at start-up on the GUI thread: a pipe put in its place must not hold the program.
  const UserFile file = readUserFile(path, kMappingsFileLimit);
  if (file.status == UserFileStatus::Missing) return {};
  if (file.status != UserFileStatus::Ok) {
    std::fprintf(stderr, "videozarnix: %s is not a MIDI mappings file that can be read (%s)\n",
                 path.c_str(), file.why.c_str());
    return {};
  }
  std::vector<std::string> problems;
  auto mappings = parseMappings(file.data, &problems);
  for (const std::string& p : problems)
    std::fprintf(stderr, "videozarnix: %s: %s (skipped)\n", path.c_str(), p.c_str());
  return mappings;
}

bool saveMappingsFile(const std::string& path, const std::vector<MidiMapping>& mappings,
                      std::string* error) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path target(path);
  fs::create_directories(target.parent_path(), ec);
  std::string temp = path + ".XXXXXX";
  const int fd = mkstemp(temp.data());
  if (fd < 0) return *error = path + ": " + std::strerror(errno), false;
  const std::string text = formatMappings(mappings);
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  const bool written = done == text.size() && ::fsync(fd) == 0;
  const int savedErrno = errno;
  ::close(fd);
  if (!written || std::rename(temp.c_str(), path.c_str()) != 0) {
    *error = path + ": " + std::strerror(written ? errno : savedErrno);
    ::unlink(temp.c_str());
    return false;
  }
  return true;
}

void MidiLearn::arm() {
  armed_ = true;
  target_ = nullptr;
  channel_ = controller_ = -1;
}

std::optional<MidiMapping> MidiLearn::controlMoved(const ControlTarget& target) {
  if (!armed_) return std::nullopt;
  target_ = &target;
  return completeIfReady();
}

std::optional<MidiMapping> MidiLearn::controllerChanged(int channel, int controller) {
  if (!armed_) return std::nullopt;
  channel_ = channel, controller_ = controller;
  return completeIfReady();
}

std::optional<MidiMapping> MidiLearn::completeIfReady() {
  if (target_ == nullptr || controller_ < 0) return std::nullopt;
  armed_ = false;
  return fullRangeMapping(channel_, controller_, *target_);
}

}  // namespace vz
