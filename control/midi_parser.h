// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "control/controller_actions.h"

namespace vz {

// A channel message: status byte (kind in the high nibble, channel 0..15 in the low one)
// and its data bytes (data2 is 0 for one-byte messages).
struct MidiMessage {
  uint8_t status = 0, data1 = 0, data2 = 0;
  int kind() const { return status & 0xF0; }
  int channel() const { return status & 0x0F; }
  bool operator==(const MidiMessage&) const = default;
};

inline constexpr int kMidiControlChange = 0xB0;
inline constexpr int kMidiProgramChange = 0xC0;

// MIDI bytes to channel messages, one byte at a time: running status, system realtime
// bytes anywhere (even inside a message, which they do not disturb), system exclusive and
// system common messages skipped, and a message cut short by a new status byte dropped.
class MidiParser {
 public:
  std::optional<MidiMessage> feed(uint8_t byte);

 private:
  uint8_t running_ = 0;  // 0: data bytes are not ours to read
  int skip_ = 0;         // data bytes of a system common message still to skip
  bool inSysex_ = false;
  uint8_t data_[2] = {};
  int have_ = 0;
};

std::vector<MidiMessage> parseMidi(std::span<const uint8_t> bytes);

// Program Change 0..25 recalls a slot (the channel kept, so the recall is not sent back); Control
// Change goes to the mapping on the GUI thread; everything else is ignored.
std::optional<ControllerAction> actionForMidi(const MidiMessage& message);

}  // namespace vz
