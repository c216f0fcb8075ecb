// SPDX-License-Identifier: GPL-3.0-or-later
// Feedback's pure parts: the change detector with a clock of the test's own, the OSC bytes
// read back by liblo, subscribers going silent, and the MIDI values a mapping sends back (the
// options are read in controller_test.cpp, as the program reads them).
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "control/feedback_options.h"
#include "control/look_changes.h"
#include "control/midi_mappings.h"
#include "control/midi_output.h"
#include "control/osc_feedback.h"
#include "control/osc_parser.h"
#include "control/tempo_feedback.h"
#include "engine/shared_value.h"
#include "tests/osc_packet.h"

namespace vz {
namespace {

constexpr std::int64_t kMs = 1'000'000;

const ControlTarget& target(const char* name) {
  return *findControlTarget(name);
}

// Every message of the packets, as "address type value".
std::vector<std::string> readPackets(const std::vector<std::vector<uint8_t>>& packets) {
  std::vector<std::string> out;
  for (const auto& p : packets) test::readOscPacket(p.data(), p.size(), out);
  return out;
}

class LookChangesTest : public ::testing::Test {
 protected:
  VideoEngine engine;
  std::optional<int> recalled;
  bool recording = false;
  LookChanges changes;
  void SetUp() override {
    addEngineState(changes, engine, {[this] { return recalled; }, [this] { return recording; }});
  }
  std::map<std::string, FeedbackValue> named(const std::vector<StateChange>& batch) {
    std::map<std::string, FeedbackValue> out;
    for (const StateChange& c : batch) out[changes.item(c.item).name] = c.value;
    return out;
  }
};

// The tempo to a tenth of a BPM (a clock that follows MIDI jitters below that) and the beat
// within the bar, counted from 1.
TEST(TempoFeedback, BpmToATenthAndTheBeatInTheBar) {
  TempoClock clock;
  std::int64_t now = 0;
  LookChanges changes;
  addTempoFeedback(changes, clock, [&] { return now; });
  auto values = [&](std::int64_t at) {
    std::map<std::string, FeedbackValue> out;
    for (const StateChange& c : changes.poll(at)) out[changes.item(c.item).name] = c.value;
    return out;
  };
  EXPECT_EQ(values(0), (std::map<std::string, FeedbackValue>{{"tempo", 0.0f}}));
  clock.set(120.04, 0, 0);  // beat 0 (the bar's first) at time 0; a beat is 0.5 s
  now = 1'600'000'000;      // beat 3.2: the fourth of the bar
  EXPECT_EQ(values(now), (std::map<std::string, FeedbackValue>{{"tempo", 120.0f}, {"beat", 4}}));
  now = 2'100'000'000;  // beat 4.2: the next bar's first
  EXPECT_EQ(values(now), (std::map<std::string, FeedbackValue>{{"beat", 1}}));
  clock.set(120.06, 0, 0);
  EXPECT_EQ(values(now + kMs * 100), (std::map<std::string, FeedbackValue>{{"tempo", 120.1f}}));
}

TEST_F(LookChangesTest, OnlyWhatChangedAndARecallSendsEverything) {
  const auto first = named(changes.poll(0));
  EXPECT_EQ(first.count("preset"), 0u) << "no letter before a recall";
  EXPECT_EQ(first.at("mode"), FeedbackValue(std::string("source")));
  EXPECT_EQ(first.at("fullscreen"), FeedbackValue(0));
  EXPECT_EQ(first.size(), static_cast<size_t>(changes.size() - 1));
  EXPECT_TRUE(changes.poll(kMs).empty()) << "nothing changed";

  storeRelaxed(engine.gainRed, 14);
  storeRelaxed(engine.mode, 1);
  storeRelaxed(engine.invertBlue, 1);
  engine.fullScreen = 1;
  recording = true;
  EXPECT_EQ(named(changes.poll(100 * kMs)),
            (std::map<std::string, FeedbackValue>{{"gain/red", 14},
                                                  {"mode", std::string("overflow")},
                                                  {"invert/blue", 1},
                                                  {"fullscreen", 1},
                                                  {"recording", 1}}));
  storeRelaxed(engine.mode, 200);  // a bank's byte without a name
  EXPECT_EQ(named(changes.poll(200 * kMs)), (std::map<std::string, FeedbackValue>{{"mode", 200}}));

  // A recall sends the whole look at once, even within the rate limit's gap.
  recalled = 5;
  changes.recalled();
  const auto all = named(changes.poll(200 * kMs + 1));
  EXPECT_EQ(all.size(), static_cast<size_t>(changes.size()));
  EXPECT_EQ(all.at("preset"), FeedbackValue(std::string("F")));
  EXPECT_TRUE(changes.poll(300 * kMs).empty());
  EXPECT_EQ(changes.everything().size(), static_cast<size_t>(changes.size()));
}

TEST_F(LookChangesTest, AThousandChangesInASecondSendAtMostSixtyAndTheLastValue) {
  changes.poll(0);
  const int item = changes.find("gain/green");
  ASSERT_GE(item, 0);
  std::vector<std::pair<std::int64_t, int>> sent;
  for (int i = 1; i <= 1000; ++i) {
    storeRelaxed(engine.gainGreen, i % 256);
    const std::int64_t now = i * kMs;
    for (const StateChange& c : changes.poll(now))
      if (c.item == item) sent.emplace_back(now, std::get<int>(c.value));
  }
  EXPECT_LE(sent.size(), 60u);
  EXPECT_GE(sent.size(), 50u) << "held back, not thrown away";
  for (size_t i = 1; i < sent.size(); ++i)
    EXPECT_GE(sent[i].first - sent[i - 1].first, LookChanges::kMinGapNs);
  // The last value goes out once its gap has passed.
  for (const StateChange& c : changes.poll(1000 * kMs + LookChanges::kMinGapNs))
    if (c.item == item) sent.emplace_back(0, std::get<int>(c.value));
  EXPECT_EQ(sent.back().second, 1000 % 256);
  // Another control changing meanwhile is not held back by this one's gap.
  storeRelaxed(engine.gainBlue, 99);
  storeRelaxed(engine.gainGreen, 1);
  const auto next = named(changes.poll(1000 * kMs + LookChanges::kMinGapNs + 1));
  EXPECT_EQ(next, (std::map<std::string, FeedbackValue>{{"gain/blue", 99}}));
}

TEST(OscFeedbackBytes, MessagesAndBundlesReadBackByAnotherImplementation) {
  const std::vector<OscOut> one = {{"/videozarnix/gain/red", 14}};
  EXPECT_EQ(readPackets(encodeOscPackets(one)),
            (std::vector<std::string>{"/videozarnix/gain/red i 14"}));
  EXPECT_EQ(encodeOscPackets(one).front(), test::oscPacket("/videozarnix/gain/red", "i", 14))
      << "a single change goes bare";
  std::vector<OscOut> many = {{"/videozarnix/mode", std::string("overflow")},
                              {"/videozarnix/preset", std::string("F")},
                              {"/1/fader1", 0.25f}};
  EXPECT_EQ(readPackets(encodeOscPackets(many)),
            (std::vector<std::string>{"/videozarnix/mode s overflow", "/videozarnix/preset s F",
                                      "/1/fader1 f 0.250000"}));
  EXPECT_EQ(encodeOscPackets(many).size(), 1u);
  // Many changes are cut into bundles that each fit an Ethernet frame.
  for (int i = 0; i < 200; ++i) many.push_back({"/videozarnix/tint/red", i});
  const auto packets = encodeOscPackets(many);
  EXPECT_GT(packets.size(), 1u);
  for (const auto& p : packets) EXPECT_LE(p.size(), 1400u);
  const auto read = readPackets(packets);
  EXPECT_EQ(read.size(), many.size());
  EXPECT_EQ(std::count(read.begin(), read.end(), "malformed"), 0);
}

TEST(OscFeedbackRequests, SubscribeUnsubscribeAndGetParse) {
  using K = OscRequest::Kind;
  const struct {
    std::vector<uint8_t> packet;
    std::optional<OscRequest> request;
    bool problem;
  } cases[] = {
      {test::oscPacket("/videozarnix/subscribe", ""), OscRequest{K::Subscribe, ""}, false},
      {test::oscPacket("/videozarnix/unsubscribe", ""), OscRequest{K::Unsubscribe, ""}, false},
      {test::oscPacket("/videozarnix/get", ""), OscRequest{K::Get, ""}, false},
      {test::oscPacket("/videozarnix/get", "s", "/videozarnix/gain/red"),
       OscRequest{K::Get, "gain/red"}, false},
      {test::oscPacket("/videozarnix/get", "s", "mode"), OscRequest{K::Get, "mode"}, false},
      {test::oscPacket("/videozarnix/get", "i", 3), std::nullopt, true},
      {test::oscPacket("/videozarnix/subscribe", "i", 1), std::nullopt, true},
  };
  for (const auto& c : cases) {
    const auto results = parseOscPacket(c.packet.data(), c.packet.size());
    ASSERT_EQ(results.size(), 1u);
    EXPECT_FALSE(results[0].action);
    EXPECT_EQ(results[0].request, c.request);
    EXPECT_EQ(!results[0].request, c.problem) << results[0].action.message();
  }
}

TEST(OscFeedbackTargets, ResolvedOrRefusedWithAReason) {
  const struct {
    const char* in;
    const char* text;  // nullptr: refused
  } cases[] = {
      {"127.0.0.1:9000", "127.0.0.1:9000"},
      {"[::1]:9", "[::1]:9"},
      {"127.0.0.1", nullptr},
      {"127.0.0.1:0", nullptr},
      {"127.0.0.1:70000", nullptr},
      {":9000", nullptr},
      {"no.such.host.invalid:9000", nullptr},
  };
  for (const auto& c : cases) {
    const Result<OscPeer> r = resolveOscTarget(c.in);
    EXPECT_EQ(r.ok(), c.text != nullptr) << c.in << ": " << r.message();
    if (r && c.text) {
      EXPECT_EQ(r->text(), c.text);
    }
    if (!r) {
      EXPECT_NE(r.message().find(c.in), std::string::npos) << r.message();
    }
  }
  const Result<OscPeer> local = resolveOscTarget("localhost:7000");  // either family
  EXPECT_TRUE(local) << local.message();
}

TEST(OscFeedbackSubscribers, SilentTenMinutesIsDropped) {
  OscSubscribers subs;
  const OscPeer a = *resolveOscTarget("127.0.0.1:9001"), b = *resolveOscTarget("127.0.0.1:9002");
  const std::int64_t minute = 60'000 * kMs;
  EXPECT_TRUE(subs.subscribe(a, 0));
  EXPECT_FALSE(subs.subscribe(a, 0)) << "once";
  EXPECT_TRUE(subs.subscribe(b, 0));
  subs.heard(b, 9 * minute);  // any packet is a sign of life
  EXPECT_EQ(subs.live(10 * minute - 1).size(), 2u);
  EXPECT_EQ(subs.live(10 * minute), std::vector<OscPeer>{b});
  EXPECT_EQ(subs.live(19 * minute - 1).size(), 1u);
  EXPECT_TRUE(subs.live(19 * minute).empty());
  EXPECT_TRUE(subs.subscribe(a, 20 * minute)) << "comes back by subscribing again";
  subs.unsubscribe(a);
  EXPECT_TRUE(subs.live(20 * minute).empty());
}

TEST(MidiFeedbackValues, ControllerValuesInvertMappedActions) {
  const struct {
    MidiMapping m;
    int engine;
    int cc;
  } cases[] = {
      {fullRangeMapping(0, 1, target("gain/red")), 0, 0},
      {fullRangeMapping(0, 1, target("gain/red")), 255, 127},
      {fullRangeMapping(0, 1, target("gain/red")), 128, 64},
      {{0, 2, &target("tint/blue"), 100, 200, true}, 100, 127},
      {{0, 2, &target("tint/blue"), 100, 200, true}, 200, 0},
      {{0, 2, &target("tint/blue"), 100, 200, true}, 50, 127},    // outside the range: its end
      {{0, 2, &target("tint/blue"), 200, 100, false}, 100, 127},  // a range given high to low
      {fullRangeMapping(0, 3, target("mirror")), 1, 127},
      {{0, 3, &target("mirror"), 0, 1, true}, 1, 0},
      {fullRangeMapping(0, 4, target("mode")), 6, 110},
      {fullRangeMapping(0, 4, target("floor")), 255, 127},  // reversed slider
  };
  for (const auto& c : cases) {
    const int cc = controllerValueFor(c.m, c.engine);
    EXPECT_EQ(cc, c.cc) << c.m.target->name << " " << c.engine;
    // Sent back through the mapping, the value gives the same control value.
    const ControllerAction back = mappedAction(c.m, cc);
    const ControlTarget& t = *c.m.target;
    if (t.kind == ControlTarget::Kind::Slider && c.engine >= std::min(c.m.low, c.m.high) &&
        c.engine <= std::max(c.m.low, c.m.high)) {
      EXPECT_NEAR(engineValueAt(t, back.value), c.engine,
                  std::abs(c.m.high - c.m.low) / 127.0 + 0.5);
    }
    if (t.kind == ControlTarget::Kind::Mode) {
      EXPECT_EQ(back.value, c.engine);
    }
    if (t.kind == ControlTarget::Kind::Switch) {
      EXPECT_EQ(back.value, c.engine);
    }
  }
}

TEST_F(LookChangesTest, MidiFeedbackFollowsWithoutEchoAndRecallsSendPrograms) {
  MidiMappings mappings;
  mappings.set(fullRangeMapping(0, 20, target("gain/blue")));
  mappings.set({1, 21, &target("gain/blue"), 0, 127, true});  // a second control surface
  mappings.set(fullRangeMapping(0, 22, target("mirror")));
  MidiFeedback midi(MidiFeedbackMode::All);
  auto follow = [&](std::int64_t now) {
    const bool recall = changes.recallPending();
    return midi.follow(changes, changes.poll(now), mappings, recall);
  };
  EXPECT_EQ(follow(0).size(), 3u) << "at start every controller is told";

  // Controller 20 moved Gain blue: the other surface follows, 20 is not sent its own move.
  storeRelaxed(engine.gainBlue, 255);
  midi.heardController(0, 20, 255);
  EXPECT_EQ(follow(100 * kMs), (std::vector<MidiMessage>{{0xB1, 21, 0}}));
  // The dialog moves it: both follow.
  storeRelaxed(engine.gainBlue, 0);
  EXPECT_EQ(follow(200 * kMs), (std::vector<MidiMessage>{{0xB0, 20, 0}, {0xB1, 21, 127}}));

  // A recall: every mapped controller, then the Program Change.
  recalled = 3;
  changes.recalled();
  const auto all = follow(300 * kMs);
  ASSERT_EQ(all.size(), 4u);
  EXPECT_EQ(all.back(), (MidiMessage{0xC0, 3, 0}));
  // A recall made by a Program Change does not send that Program Change back.
  midi.heardProgram(4, 3);
  changes.recalled();
  EXPECT_EQ(follow(400 * kMs).size(), 3u);
  changes.recalled();
  // Only that one; later ones go out on the channel the controller recalls on.
  EXPECT_EQ(follow(500 * kMs).back(), (MidiMessage{0xC4, 3, 0}));

  MidiFeedback ccOnly(MidiFeedbackMode::Cc), off(MidiFeedbackMode::Off);
  changes.recalled();
  const auto batch = changes.poll(600 * kMs);
  EXPECT_EQ(ccOnly.follow(changes, batch, mappings, true).size(), 3u);
  EXPECT_TRUE(off.follow(changes, batch, mappings, true).empty());
}

}  // namespace
}  // namespace vz
