// SPDX-License-Identifier: GPL-3.0-or-later
// The tempo's OSC addresses as the OSC input parses them, and the learnable tap on MIDI.
#include <gtest/gtest.h>

#include "control/control_targets.h"
#include "control/midi_mappings.h"
#include "control/osc_parser.h"
#include "tests/osc_packet.h"

namespace vz {
namespace {

using Kind = ControllerAction::Kind;
using test::oscPacket;

std::optional<ControllerAction> only(const std::vector<uint8_t>& packet) {
  const auto results = parseOscPacket(packet.data(), packet.size());
  EXPECT_EQ(results.size(), 1u);
  if (results.empty() || !results[0].action) return std::nullopt;
  return *results[0].action;
}

TEST(TempoOsc, AddressesGiveTheirRequestsAndRefuseWrongArguments) {
  struct Case {
    std::vector<uint8_t> packet;
    std::optional<ControllerAction> expected;
  };
  const Case cases[] = {
      {oscPacket("/videozarnix/tempo", "f", 128.0f), ControllerAction{Kind::TempoBpm, 0, 128000}},
      {oscPacket("/videozarnix/tempo", "i", 90), ControllerAction{Kind::TempoBpm, 0, 90000}},
      {oscPacket("/videozarnix/tempo", "s", "midi"),
       ControllerAction{Kind::TempoSource, 0, 0, "midi"}},
      {oscPacket("/videozarnix/tempo", "f", 500.0f), std::nullopt},
      {oscPacket("/videozarnix/tempo", "s", "fast"), std::nullopt},
      {oscPacket("/videozarnix/tap", ""), ControllerAction{Kind::Tap, 1, 0}},
      {oscPacket("/videozarnix/tap", "i", 1), ControllerAction{Kind::Tap, 1, 0}},
      {oscPacket("/videozarnix/tap", "f", 0.0f), ControllerAction{Kind::Tap, 0, 0}},
      {oscPacket("/videozarnix/cycle-rate", "i", 16), ControllerAction{Kind::CycleRate, 0, 16}},
      {oscPacket("/videozarnix/cycle-rate", "i", 3), std::nullopt},
      {oscPacket("/videozarnix/sequence", "s", "abAC"),
       ControllerAction{Kind::Sequence, 0, 0, "abAC"}},
      {oscPacket("/videozarnix/sequence", "s", ""), ControllerAction{Kind::Sequence, 0, 0, ""}},
      {oscPacket("/videozarnix/sequence", "s", "A-B"), std::nullopt},
      {oscPacket("/videozarnix/sequence-beats", "i", 8),
       ControllerAction{Kind::SequenceBeats, 0, 8}},
      {oscPacket("/videozarnix/sequence-beats", "i", 0), std::nullopt},
      {oscPacket("/videozarnix/quantize", "s", "bar"),
       ControllerAction{Kind::Quantize, 0, 0, "bar"}},
      {oscPacket("/videozarnix/quantize", "i", 1), std::nullopt},
  };
  for (const Case& c : cases) {
    const auto got = only(c.packet);
    EXPECT_EQ(got, c.expected) << reinterpret_cast<const char*>(c.packet.data());
  }
}

// A pad bound to "tap": a press taps, its release does not, and the two never replace each
// other in the queue (a quick press and release must still tap).
TEST(TempoOsc, TheTapIsAMidiLearnableControl) {
  const ControlTarget* tap = findControlTarget("tap");
  ASSERT_NE(tap, nullptr);
  EXPECT_EQ(controlTargetById(0), nullptr);  // never mistaken for a dialog control
  std::vector<std::string> problems;
  const auto mappings = parseMappings("10 36 tap\n", &problems);
  ASSERT_EQ(mappings.size(), 1u) << (problems.empty() ? "" : problems[0]);
  const ControllerAction press = mappedAction(mappings[0], 127);
  const ControllerAction release = mappedAction(mappings[0], 0);
  EXPECT_EQ(press, (ControllerAction{Kind::Tap, 1, 0}));
  EXPECT_EQ(release.kind, Kind::Tap);
  EXPECT_EQ(release.target, 0);
  EXPECT_FALSE(press.sameKey(release));
  EXPECT_EQ(formatMappings(mappings).find("tap") != std::string::npos, true);
}

}  // namespace
}  // namespace vz
