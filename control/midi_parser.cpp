// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/midi_parser.h"

namespace vz {

namespace {

int dataBytes(uint8_t status) {
  const int kind = status & 0xF0;
  return kind == 0xC0 || kind == 0xD0 ? 1 : 2;
}

int systemCommonDataBytes(uint8_t status) {
  switch (status) {
    case 0xF1:
    case 0xF3:
      return 1;
    case 0xF2:
      return 2;
    default:
      return 0;
  }
}

}  // namespace

std::optional<MidiMessage> MidiParser::feed(uint8_t byte) {
  if (byte >= 0xF8) return std::nullopt;  // realtime: clock, start, stop, sensing, reset
  if (byte >= 0x80) {
    // Any status byte ends what came before; an unfinished message is lost.
    have_ = 0;
    skip_ = 0;
    inSysex_ = byte == 0xF0;
    if (byte < 0xF0) {
      running_ = byte;
    } else {
      running_ = 0;  // system common and exclusive cancel running status
      skip_ = systemCommonDataBytes(byte);
    }
    return std::nullopt;
  }
  if (inSysex_) return std::nullopt;
  if (skip_ > 0) {
    --skip_;
    return std::nullopt;
  }
  if (running_ == 0) return std::nullopt;  // stray data byte
  data_[have_++] = byte;
  if (have_ < dataBytes(running_)) return std::nullopt;
  have_ = 0;
  return MidiMessage{running_, data_[0], dataBytes(running_) == 2 ? data_[1] : uint8_t{0}};
}

std::vector<MidiMessage> parseMidi(std::span<const uint8_t> bytes) {
  MidiParser parser;
  std::vector<MidiMessage> out;
  for (uint8_t b : bytes)
    if (auto m = parser.feed(b)) out.push_back(*m);
  return out;
}

std::optional<ControllerAction> actionForMidi(const MidiMessage& m) {
  if (m.kind() == kMidiProgramChange && m.data1 < 26)
    return ControllerAction{ControllerAction::Kind::MidiPc, m.channel(), m.data1};
  if (m.kind() == kMidiControlChange)
    return ControllerAction{ControllerAction::Kind::MidiCc, m.channel() * 128 + m.data1, m.data2};
  return std::nullopt;
}

}  // namespace vz
