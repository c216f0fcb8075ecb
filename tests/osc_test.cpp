// SPDX-License-Identifier: GPL-3.0-or-later
// OSC as senders speak it: address patterns, bundle time tags, one argument check for every
// address, learned addresses and their lines in the mappings file; and the OSC thread over
// UDP on the loopback address, timed bundles waiting while other packets go through.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <variant>
#include <vector>

#include "control/midi_mappings.h"
#include "control/osc_input.h"
#include "control/osc_learn.h"
#include "control/osc_mappings.h"
#include "control/osc_parser.h"
#include "control/osc_pattern.h"
#include "control/osc_schedule.h"
#include "control/osc_time.h"
#include "res/control_ids.h"
#include "tests/osc_packet.h"
#include "tests/scratch_dir.h"

namespace vz {
namespace {

using Bytes = std::vector<uint8_t>;
using A = ControllerAction;
using K = ControllerAction::Kind;
using Actions = std::vector<std::optional<A>>;

template <class... Args>
Bytes osc(const char* path, const char* types, Args... args) {
  return test::oscPacket(path, types, args...);
}

using test::oscBundle;

const ControlTarget& target(const char* name) {
  return *findControlTarget(name);
}

std::vector<OscOutcome> parse(const Bytes& packet, const OscMappings* learned = nullptr) {
  return parseOscPacket(packet.data(), packet.size(), learned);
}

Actions actionsOf(const Bytes& packet, const OscMappings* learned = nullptr) {
  Actions out;
  for (const OscOutcome& o : parse(packet, learned)) {
    EXPECT_TRUE(o.action || !o.action.message().empty());  // a refusal says why
    out.push_back(o.action ? std::optional<A>(*o.action) : std::nullopt);
  }
  return out;
}

TEST(OscPattern, MatchesAddressesPartByPart) {
  const struct {
    const char* pattern;
    const char* address;
    bool matches;
  } cases[] = {
      {"/videozarnix/gain/red", "/videozarnix/gain/red", true},
      {"/videozarnix/gain/red", "/videozarnix/gain/re", false},
      {"/videozarnix/gain/*", "/videozarnix/gain/red", true},
      {"/videozarnix/gain/*", "/videozarnix/gain", false},
      {"/videozarnix/*", "/videozarnix/gain/red", false},  // a star stays within its part
      {"/videozarnix/*", "/videozarnix/floor", true},
      {"/videozarnix/*/red", "/videozarnix/tint/red", true},
      {"/*/*/*", "/videozarnix/gain/red", true},
      {"/*/*/*", "/videozarnix/floor", false},
      {"/videozarnix/**", "/videozarnix/floor", true},
      {"/videozarnix/fl*r", "/videozarnix/floor", true},
      {"/videozarnix/*o*o*", "/videozarnix/floor", true},
      {"/videozarnix/*x*", "/videozarnix/floor", false},
      {"/videozarnix/gain/?ed", "/videozarnix/gain/red", true},
      {"/videozarnix/gain/?", "/videozarnix/gain/red", false},
      {"/videozarnix?gain/red", "/videozarnix/gain/red", false},  // ? is never a slash
      {"/videozarnix/gain/[rg]*", "/videozarnix/gain/red", true},
      {"/videozarnix/gain/[rg]*", "/videozarnix/gain/blue", false},
      {"/videozarnix/gain/[!r]*", "/videozarnix/gain/red", false},
      {"/videozarnix/gain/[!r]*", "/videozarnix/gain/green", true},
      {"/videozarnix/gain/[a-h]*", "/videozarnix/gain/green", true},
      {"/videozarnix/gain/[a-h]*", "/videozarnix/gain/red", false},
      {"/videozarnix/gain/[h-a]*", "/videozarnix/gain/green", true},  // either order
      {"/videozarnix/gain/[!a-h]*", "/videozarnix/gain/red", true},
      {"/videozarnix/gain/[b-]lue", "/videozarnix/gain/blue", true},  // a last '-' is itself
      {"/videozarnix/gain/[-b]lue", "/videozarnix/gain/-lue", true},
      {"/videozarnix/gain/[rg", "/videozarnix/gain/r", false},  // unclosed
      {"/videozarnix/{gain,tint}/red", "/videozarnix/tint/red", true},
      {"/videozarnix/{gain,tint}/red", "/videozarnix/lowpass/red", false},
      {"/videozarnix/{gain,tint/red", "/videozarnix/gain/red", false},  // unclosed
      {"/videozarnix/{,fl}oor", "/videozarnix/floor", true},
      {"/videozarnix/{g,gai}ain/red", "/videozarnix/gain/red", true},  // the first fails on
      {"/videozarnix/{ga,t}*/[r]e?", "/videozarnix/tint/red", true},
      {"/videozarnix/gain/red/", "/videozarnix/gain/red", false},
      {"videozarnix/gain/red", "videozarnix/gain/red", false},  // not an address
      {"/1/fader?", "/1/fader1", true},
      {"/1/fader?", "/1/fader12", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(oscPatternMatches(c.pattern, c.address), c.matches)
        << c.pattern << " against " << c.address;
  // A run of stars from the network against a long part costs its length times the part's.
  const std::string stars = "/" + std::string(2000, '*') + "b", name = "/" + std::string(500, 'a');
  EXPECT_FALSE(oscPatternMatches(stars, name));
  EXPECT_TRUE(oscPatternMatches(stars, name + "b"));
}

TEST(OscParser, PatternsReachEveryAddressTheyMatch) {
  OscMappings learned;
  learned.set({"/1/fader1", &target("gain/red"), OscForm::Float});
  learned.set({"/1/fader2", &target("mirror"), OscForm::Int});
  learned.set({"/1/push", &target("tap"), OscForm::Int});
  const struct {
    Bytes packet;
    Actions out;
  } cases[] = {
      {osc("/videozarnix/gain/*", "i", 10),
       {A{K::Slider, kIdGainRed, 10}, A{K::Slider, kIdGainGreen, 10},
        A{K::Slider, kIdGainBlue, 10}}},
      {osc("/videozarnix/gain/{red,blue}", "f", 1.0f),
       {A{K::Slider, kIdGainRed, 255}, A{K::Slider, kIdGainBlue, 255}}},
      {osc("/videozarnix/invert/[!g]*", "T"),
       {A{K::Switch, kIdInvertRed, 1}, A{K::Switch, kIdInvertBlue, 1}}},
      {osc("/videozarnix/{fullscreen,record}", "i", 1),
       {A{K::FullScreen, 0, 1}, A{K::Record, 0, 1}}},
      {osc("/videozarnix/m?de", "s", "lut"), {A{K::Mode, 0, 3}}},
      // Each matched address checks the argument for itself.
      {osc("/videozarnix/gain/*", "i", 300), {std::nullopt, std::nullopt, std::nullopt}},
      {osc("/videozarnix/{floor,mirror}", "i", 1),
       {A{K::Slider, kIdFloor, 254}, A{K::Switch, kIdMirror, 1}}},
      {osc("/videozarnix/nothing*", "i", 1), {std::nullopt}},
      {osc("/videozarnix/{gain", "i", 1), {std::nullopt}},
      // Learned addresses are ours too.
      {osc("/1/fader?", "f", 0.5f), {A{K::Slider, kIdGainRed, 128}, A{K::Switch, kIdMirror, 1}}},
      {osc("/*/fader1", "i", 7), {A{K::Slider, kIdGainRed, 7}}},
      {osc("/1/fader1", "i", 7), {A{K::Slider, kIdGainRed, 7}}},
      {osc("/1/fader2", "i", 2), {std::nullopt}},
      // A button learned onto the tap, as it sends T and F or numbers.
      {osc("/1/push", "T"), {A{K::Tap, 1, 0}}},
      {osc("/1/push", "F"), {A{K::Tap, 0, 0}}},
      {osc("/1/push", "f", 1.0f), {A{K::Tap, 1, 0}}},
      {osc("/1/push", "i", 0), {A{K::Tap, 0, 0}}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(actionsOf(c.packet, &learned), c.out)
        << reinterpret_cast<const char*>(c.packet.data());

  // A refusal names the address the pattern reached and why.
  const auto refused = parse(osc("/videozarnix/gain/r*", "i", 300));
  ASSERT_EQ(refused.size(), 1u);
  EXPECT_EQ(refused[0].action.message(),
            "/videozarnix/gain/r* (/videozarnix/gain/red): expects i 0..255 or f 0..1");
  const std::string longPattern = "/videozarnix/" + std::string(2000, '*');
  EXPECT_EQ(actionsOf(osc(longPattern.c_str(), "i", 1)), Actions{std::nullopt});
}

// Every address reads its one argument the same way, whoever sent it; a refusal says why.
TEST(OscParser, ArgumentsAreCheckedOneWayForEveryAddress) {
  const int64_t one = 1, twelve = 12;
  const struct {
    Bytes packet;
    std::optional<A> out;
    const char* says = nullptr;  // the refusal, where it is checked
  } cases[] = {
      // Switches: 0 or 1, T or F, or a float 0..1 that is on from 0.5.
      {osc("/videozarnix/mirror", "i", 0), A{K::Switch, kIdMirror, 0}},
      {osc("/videozarnix/mirror", "i", 1), A{K::Switch, kIdMirror, 1}},
      {osc("/videozarnix/mirror", "h", one), A{K::Switch, kIdMirror, 1}},
      {osc("/videozarnix/mirror", "i", 2), std::nullopt},
      {osc("/videozarnix/mirror", "i", -1), std::nullopt},
      {osc("/videozarnix/mirror", "T"), A{K::Switch, kIdMirror, 1}},
      {osc("/videozarnix/mirror", "F"), A{K::Switch, kIdMirror, 0}},
      {osc("/videozarnix/mirror", "f", 0.49f), A{K::Switch, kIdMirror, 0}},
      {osc("/videozarnix/mirror", "f", 0.5f), A{K::Switch, kIdMirror, 1}},
      {osc("/videozarnix/mirror", "d", 0.75), A{K::Switch, kIdMirror, 1}},
      {osc("/videozarnix/mirror", "f", 1.5f), std::nullopt},
      {osc("/videozarnix/mirror", "f", NAN), std::nullopt},
      {osc("/videozarnix/mirror", "s", "1"), std::nullopt},
      {osc("/videozarnix/mirror", "N"), std::nullopt},
      {osc("/videozarnix/invert/green", "i", 5), std::nullopt},
      {osc("/videozarnix/invert/green", "i", 0), A{K::Switch, kIdInvertGreen, 0}},
      {osc("/videozarnix/fullscreen", "i", 2), std::nullopt,
       "/videozarnix/fullscreen: expects i 0|1, T|F or f 0..1"},
      {osc("/videozarnix/fullscreen", "i", 1), A{K::FullScreen, 0, 1}},
      {osc("/videozarnix/fullscreen", "f", 0.3f), A{K::FullScreen, 0, 0}},
      {osc("/videozarnix/fullscreen", "f", 0.5f), A{K::FullScreen, 0, 1}},
      {osc("/videozarnix/fullscreen", "T"), A{K::FullScreen, 0, 1}},
      {osc("/videozarnix/record", "F"), A{K::Record, 0, 0}},
      {osc("/videozarnix/record", "i", 0), A{K::Record, 0, 0}},
      {osc("/videozarnix/record", "ii", 1, 1), std::nullopt},
      {osc("/videozarnix/cycle", "f", 1.0f), A{K::Switch, kIdColorCycle, 1}},
      // Sliders: an engine value within the filter's range, to the nearest slider position,
      // or a float 0..1.
      {osc("/videozarnix/gain/red", "i", 12), A{K::Slider, kIdGainRed, 12}},
      {osc("/videozarnix/gain/red", "h", twelve), A{K::Slider, kIdGainRed, 12}},
      {osc("/videozarnix/gain/red", "d", 0.5), A{K::Slider, kIdGainRed, 128}},
      {osc("/videozarnix/gain/red", "f", 0.5f), A{K::Slider, kIdGainRed, 128}},
      {osc("/videozarnix/gain/red", "f", -0.1f), std::nullopt},
      {osc("/videozarnix/gain/red", "f", 1.5f), std::nullopt},
      {osc("/videozarnix/gain/red", "f", NAN), std::nullopt},
      {osc("/videozarnix/gain/red", "s", "12"), std::nullopt},
      {osc("/videozarnix/gain/red", "T"), std::nullopt},
      {osc("/videozarnix/gain/red", "ii", 1, 2), std::nullopt,
       "/videozarnix/gain/red: expects one argument, got 2"},
      {osc("/videozarnix/gain/red", ""), std::nullopt},
      {osc("/videozarnix/floor", "i", 200), A{K::Slider, kIdFloor, 55}},
      {osc("/videozarnix/floor", "i", 256), std::nullopt},
      {osc("/videozarnix/floor", "f", 0.0f), A{K::Slider, kIdFloor, 255}},
      {osc("/videozarnix/floor", "f", 1.0f), A{K::Slider, kIdFloor, 1}},
      {osc("/videozarnix/quantize/blue", "i", 200), A{K::Slider, kIdQuantizeBlue, 7}},
      {osc("/videozarnix/lowpass/green", "i", 0), A{K::Slider, kIdLowPassGreen, 1}},
      {osc("/videozarnix/color", "i", 30), A{K::Slider, kIdColor, 70}},
      {osc("/videozarnix/tint/green", "f", 1.0f), A{K::Slider, kIdTintGreen, 767}},
      {osc("/videozarnix/output/blue", "i", -1), std::nullopt},
      // The mode: a name, 0..9, or a float over the ten.
      {osc("/videozarnix/mode", "s", "lut2"), A{K::Mode, 0, 5}},
      {osc("/videozarnix/mode", "s", "negative"), A{K::Mode, 0, 9}},
      {osc("/videozarnix/mode", "i", 9), A{K::Mode, 0, 9}},
      {osc("/videozarnix/mode", "f", 1.0f), A{K::Mode, 0, 9}},
      {osc("/videozarnix/mode", "f", 0.0f), A{K::Mode, 0, 0}},
      {osc("/videozarnix/mode", "i", 10), std::nullopt},
      {osc("/videozarnix/mode", "T"), std::nullopt},
      {osc("/videozarnix/mode", "ss", "lut", "lut"), std::nullopt},
      {osc("/videozarnix/mode", "s", "sepia"), std::nullopt,
       "/videozarnix/mode: unknown mode 'sepia'"},
      // Presets: a letter of either case or 0..25.
      {osc("/videozarnix/preset", "s", "c"), A{K::Preset, 0, 2}},
      {osc("/videozarnix/preset", "s", "Z"), A{K::Preset, 0, 25}},
      {osc("/videozarnix/preset", "i", 25), A{K::Preset, 0, 25}},
      {osc("/videozarnix/preset", "i", 26), std::nullopt},
      {osc("/videozarnix/preset", "s", "ab"), std::nullopt},
      {osc("/videozarnix/preset", "s", ""), std::nullopt},
      {osc("/videozarnix/preset", "f", 0.5f), std::nullopt},
      {osc("/videozarnix/preset", "T"), std::nullopt},
      // The tempo's: a BPM or a source, a tap (a press or its release), the sequence.
      {osc("/videozarnix/tempo", "f", 128.0f), A{K::TempoBpm, 0, 128000}},
      {osc("/videozarnix/tempo", "i", 90), A{K::TempoBpm, 0, 90000}},
      {osc("/videozarnix/tempo", "s", "midi"), A{K::TempoSource, 0, 0, "midi"}},
      {osc("/videozarnix/tempo", "f", 500.0f), std::nullopt},
      {osc("/videozarnix/tempo", "s", "fast"), std::nullopt},
      {osc("/videozarnix/tap", ""), A{K::Tap, 1, 0}},
      {osc("/videozarnix/tap", "i", 1), A{K::Tap, 1, 0}},
      {osc("/videozarnix/tap", "f", 0.0f), A{K::Tap, 0, 0}},
      {osc("/videozarnix/cycle-rate", "i", 16), A{K::CycleRate, 0, 16}},
      {osc("/videozarnix/cycle-rate", "i", 3), std::nullopt},
      {osc("/videozarnix/sequence", "s", "abAC"), A{K::Sequence, 0, 0, "abAC"}},
      {osc("/videozarnix/sequence", "s", ""), A{K::Sequence, 0, 0, ""}},
      {osc("/videozarnix/sequence", "s", "A-B"), std::nullopt},
      {osc("/videozarnix/sequence-beats", "i", 8), A{K::SequenceBeats, 0, 8}},
      {osc("/videozarnix/sequence-beats", "i", 0), std::nullopt},
      {osc("/videozarnix/quantize", "s", "bar"), A{K::Quantize, 0, 0, "bar"}},
      {osc("/videozarnix/quantize", "i", 1), std::nullopt},
      // Not ours, or no control of its own.
      {osc("/videozarnix/lutmask/red", "i", 1), std::nullopt},
      {osc("/videozarnix/sparkle", "i", 1), std::nullopt, "/videozarnix/sparkle: unknown address"},
      {osc("/other/preset", "i", 1), std::nullopt},
  };
  for (const auto& c : cases) {
    const char* sent = reinterpret_cast<const char*>(c.packet.data());
    EXPECT_EQ(actionsOf(c.packet), Actions{c.out}) << sent;
    if (c.says) {
      EXPECT_EQ(parse(c.packet)[0].action.message(), c.says) << sent;
    }
  }
}

// An NTP time tag: seconds since 1900 and the fraction of one in 1/2^32.
constexpr OscTimeTag tag(uint64_t seconds, uint64_t fraction = 0) {
  return (seconds << 32) | fraction;
}

TEST(OscTime, TagsBecomeSteadyClockDeadlines) {
  using W = OscWhen::Kind;
  // 2026-12-07 19:00:00.25 UTC by the system clock; the steady clock at 5 s.
  const OscClockReading now{1'796'670'000'250'000'000, 5'000'000'000};
  const uint64_t nowSeconds = 1'796'670'000 + 2'208'988'800;
  // The last half second of the era that ends in February 2036.
  const OscClockReading eraEnd{(4'294'967'295 - 2'208'988'800) * 1'000'000'000LL + 500'000'000,
                               7'000'000'000};
  const struct {
    const char* what;
    OscTimeTag tag;
    OscClockReading now;
    W kind;
    int64_t steadyNs;
  } cases[] = {
      {"immediately", kOscImmediately, now, W::Now, 0},
      {"1900", 0, now, W::Now, 0},
      {"this very moment", tag(nowSeconds, 1u << 30), now, W::Now, 0},
      {"three seconds ago", tag(nowSeconds - 3, 1u << 30), now, W::Now, 0},
      {"half a second on", tag(nowSeconds, 3u << 30), now, W::At, 5'500'000'000},
      {"a quarter second on", oscTimeTagAfter(now, 250'000'000), now, W::At, 5'250'000'000},
      {"one nanosecond on", oscTimeTagAfter(now, 1), now, W::At, 5'000'000'001},
      {"ten seconds on", oscTimeTagAfter(now, 10'000'000'000), now, W::At, 15'000'000'000},
      {"just over ten seconds on", oscTimeTagAfter(now, 10'000'000'001), now, W::TooFar, 0},
      {"an hour on", tag(nowSeconds + 3600), now, W::TooFar, 0},
      {"a second on, in the next era", tag(0, 1u << 31), eraEnd, W::At, 8'000'000'000},
      {"a second ago, in the last era", tag(4'294'967'294, 1u << 31), eraEnd, W::Now, 0},
  };
  for (const auto& c : cases) {
    const OscWhen when = oscWhen(c.tag, c.now);
    EXPECT_EQ(when.kind, c.kind) << c.what;
    if (c.kind == W::At) {
      EXPECT_EQ(when.steadyNs, c.steadyNs) << c.what;
    }
  }

  // A bundle inside another runs no earlier than the one around it.
  const OscTimeTag t = tag(nowSeconds + 1);
  const struct {
    OscTimeTag outer, inner, runs;
  } nested[] = {
      {kOscImmediately, t, t},
      {t, kOscImmediately, t},
      {t, t + tag(1), t + tag(1)},
      {t + tag(1), t, t + tag(1)},
      {tag(4'294'967'295), tag(1), tag(1)},  // across the era's end
  };
  for (const auto& n : nested) EXPECT_EQ(oscInnerTime(n.outer, n.inner), n.runs);
}

TEST(OscTime, EachMessageCarriesTheTimeOfItsInnermostBundle) {
  const OscTimeTag t1 = tag(4'000'000'000), t2 = tag(4'000'000'005), t0 = tag(3'999'999'000);
  const Bytes a = osc("/videozarnix/gain/red", "i", 1), b = osc("/videozarnix/gain/green", "i", 2),
              c = osc("/videozarnix/gain/blue", "i", 3), d = osc("/videozarnix/floor", "i", 4);
  const Bytes packet =
      oscBundle(t1, {a, oscBundle(kOscImmediately, {b}), oscBundle(t2, {c}), oscBundle(t0, {d})});
  std::vector<OscTimeTag> times;
  for (const OscOutcome& o : parse(packet)) {
    EXPECT_TRUE(o.action) << o.action.message();
    times.push_back(o.time);
  }
  EXPECT_EQ(times, (std::vector<OscTimeTag>{t1, t1, t2, t1}));
  EXPECT_EQ(parse(a)[0].time, kOscImmediately);
  EXPECT_EQ(actionsOf(oscBundle(t1, {a, d})),
            (Actions{A{K::Slider, kIdGainRed, 1}, A{K::Slider, kIdFloor, 251}}));

  // Damaged: one refusal, nothing read past the end.
  Bytes overrun = oscBundle(t1, {a, d});
  overrun[19] = 0xFF;  // the first element claims more than the packet holds
  EXPECT_EQ(actionsOf(overrun), Actions{std::nullopt});
  EXPECT_EQ(actionsOf(Bytes(a.begin(), a.end() - 2)), Actions{std::nullopt});
  EXPECT_EQ(actionsOf({}), Actions{std::nullopt});
}

TEST(OscSchedule, RequestsComeOutAtTheirTimeInTheOrderTheyWentIn) {
  OscSchedule s;
  const A a{K::Slider, kIdGainRed, 1}, b{K::Slider, kIdGainRed, 2}, c{K::Mode, 0, 3},
      d{K::Preset, 0, 4};
  EXPECT_TRUE(s.add(30, a));
  EXPECT_TRUE(s.add(10, b));
  EXPECT_TRUE(s.add(30, c));
  EXPECT_TRUE(s.add(20, d));
  const struct {
    int64_t now;
    std::vector<A> due;
    std::optional<int64_t> next;
  } steps[] = {{5, {}, 10},
               {20, {b, d}, 30},
               {29, {}, 30},
               {31, {a, c}, std::nullopt},
               {40, {}, std::nullopt}};
  for (const auto& step : steps) {
    EXPECT_EQ(s.takeDue(step.now), step.due) << step.now;
    EXPECT_EQ(s.next(), step.next) << step.now;
  }
  for (size_t i = 0; i < OscSchedule::kLimit; ++i) ASSERT_TRUE(s.add(100, a));
  EXPECT_FALSE(s.add(50, b));
  EXPECT_EQ(s.takeDue(100).size(), OscSchedule::kLimit);
}

TEST(OscMappingsFile, SharesTheMidiMappingsFile) {
  const std::string text =
      "# my controllers\n"
      "1 7 gain/red\n"
      "/1/fader1 gain/red float\n"
      "  /1/toggle1 mirror int   # the big button\n"
      "/videozarnix/gain/red floor float\n"
      "/2/x nosuch float\n"
      "/2/y floor double\n"
      "/2/z floor float extra\n"
      "/2/* floor float\n"
      "/2/w\n";
  std::vector<std::string> midiProblems, oscProblems;
  EXPECT_EQ(parseMappings(text, &midiProblems).size(), 1u);
  EXPECT_TRUE(midiProblems.empty());
  const std::vector<OscMapping> learned = parseOscMappings(text, &oscProblems);
  const std::vector<OscMapping> expected = {{"/1/fader1", &target("gain/red"), OscForm::Float},
                                            {"/1/toggle1", &target("mirror"), OscForm::Int}};
  EXPECT_EQ(learned, expected);
  EXPECT_EQ(
      oscProblems,
      (std::vector<std::string>{
          "line 5: '/videozarnix/gain/red' is not an address that can be learned",
          "line 6: unknown control 'nosuch'", "line 7: form 'double' is not float or int",
          "line 8: unexpected 'extra'", "line 9: '/2/*' is not an address that can be learned",
          "line 10: expected ADDRESS CONTROL float|int"}));

  // Written beside the MIDI lines, each side reads its own back.
  test::ScratchDir dir("vz-osc-mappings");
  const std::string path = (dir.path / "midi-mappings").string();
  const std::vector<MidiMapping> midi = {fullRangeMapping(0, 7, target("gain/red"))};
  const Status saved = rewriteMappingsFile(path, [&](std::string_view text) {
    std::vector<OwnedLine> lines;
    for (const OscMapping& m : learned) lines.push_back({m.address, formatOscMapping(m)});
    return rewriteOwnedLines(rewriteMidiLines(text, midi), oscLineKey, lines);
  });
  ASSERT_TRUE(saved) << saved.message();
  EXPECT_EQ(loadMappingsFile(path), midi);
  EXPECT_EQ(loadOscMappingsFile(path), learned);
  EXPECT_EQ(formatOscMappings({}), "");
  EXPECT_EQ(oscLineKey("  /1/toggle1 mirror int # the big button"), "/1/toggle1");
  EXPECT_EQ(oscLineKey("/2/y floor double"), std::nullopt);
  EXPECT_EQ(oscLineKey("1 7 gain/red"), std::nullopt);
}

// Feedback to a learned address goes in the form it came, and reads back as the same value.
TEST(OscMappingsFile, LearnedAddressesAreAnsweredInTheirForm) {
  using V = std::variant<int, float>;
  const struct {
    const char* control;
    OscForm form;
    int engineValue;
    V sent;
  } cases[] = {
      {"gain/red", OscForm::Float, 0, 0.0f},  {"gain/red", OscForm::Float, 255, 1.0f},
      {"gain/red", OscForm::Float, 51, 0.2f}, {"gain/red", OscForm::Int, 51, 51},
      {"floor", OscForm::Float, 255, 1.0f},   {"floor", OscForm::Int, 200, 200},
      {"mirror", OscForm::Float, 1, 1.0f},    {"mirror", OscForm::Int, 0, 0},
      {"mode", OscForm::Float, 9, 1.0f},      {"mode", OscForm::Int, 3, 3},
  };
  for (const auto& c : cases) {
    const OscMapping m{"/1/x", &target(c.control), c.form};
    EXPECT_EQ(oscLearnedValue(m, c.engineValue), c.sent) << c.control << " " << c.engineValue;
    // Sent back to us, the same address sets the value it showed.
    const V v = oscLearnedValue(m, c.engineValue);
    OscArgument a{c.form == OscForm::Int ? 'i' : 'f'};
    if (c.form == OscForm::Int)
      a.whole = std::get<int>(v);
    else
      a.fraction = std::get<float>(v);
    const auto back = oscControlRequest(*m.target, {a});
    ASSERT_TRUE(back) << back.message();
    EXPECT_EQ(*back, *oscControlRequest(*m.target, {OscArgument{'i', c.engineValue}})) << c.control;
  }
}

TEST(OscParser, UnknownAddressesAreOfferedForLearning) {
  const struct {
    Bytes packet;
    const char* address;  // nullptr: nothing to learn
    OscForm form;
  } cases[] = {
      {osc("/1/fader1", "f", 0.37f), "/1/fader1", OscForm::Float},
      {osc("/1/fader1", "d", 0.37), "/1/fader1", OscForm::Float},
      {osc("/1/rotary", "i", 3), "/1/rotary", OscForm::Int},
      {osc("/1/push", "T"), "/1/push", OscForm::Int},
      {osc("/1/label", "s", "x"), nullptr, {}},
      {osc("/1/xy", "ff", 0.1f, 0.2f), nullptr, {}},
      {osc("/1/*", "f", 0.5f), nullptr, {}},                // a pattern is no address
      {osc("/videozarnix/sparkle", "i", 1), nullptr, {}},   // ours, however unknown
      {osc("/videozarnix/gain/red", "i", 1), nullptr, {}},  // known
      {osc("/1/bad name", "f", 0.5f), nullptr, {}},         // could not be stored
  };
  for (const auto& c : cases) {
    const auto out = parse(c.packet);
    ASSERT_EQ(out.size(), 1u);
    const char* sent = reinterpret_cast<const char*>(c.packet.data());
    EXPECT_EQ(out[0].unknown.has_value(), c.address != nullptr) << sent;
    if (c.address && out[0].unknown) {
      EXPECT_EQ(out[0].unknown->address, c.address);
      EXPECT_EQ(out[0].unknown->form, c.form) << sent;
    }
  }
}

OscUnknown unknown(const char* address, float value) {
  OscArgument a{'f'};
  a.fraction = value;
  return {address, OscForm::Float, a};
}

TEST(OscLearn, BindsTheMovedControlAndTheAddressInEitherOrder) {
  OscLearn learn;
  EXPECT_FALSE(learn.offer(unknown("/1/fader1", 0.37f)));  // not armed
  EXPECT_FALSE(learn.controlMoved(target("gain/red")));

  // The control first: the message that completes it moves the control too.
  learn.arm();
  EXPECT_FALSE(learn.controlMoved(target("gain/red")));
  EXPECT_TRUE(learn.offer(unknown("/1/fader1", 0.37f)));
  auto done = learn.addressOffered();
  ASSERT_TRUE(done);
  EXPECT_EQ(done->mapping, (OscMapping{"/1/fader1", &target("gain/red"), OscForm::Float}));
  EXPECT_EQ(done->apply, (A{K::Slider, kIdGainRed, 94}));
  EXPECT_FALSE(learn.armed());

  // The address first, the latest one offered wins; the user's move is the last word.
  learn.arm();
  EXPECT_TRUE(learn.offer(unknown("/1/fader1", 0.1f)));
  EXPECT_FALSE(learn.offer(unknown("/1/fader2", 0.2f)));  // one wake is enough
  EXPECT_FALSE(learn.addressOffered());
  EXPECT_TRUE(learn.offer(unknown("/1/fader3", 0.3f)));
  EXPECT_FALSE(learn.addressOffered());
  done = learn.controlMoved(target("mirror"));
  ASSERT_TRUE(done);
  EXPECT_EQ(done->mapping.address, "/1/fader3");
  EXPECT_EQ(done->mapping.target, &target("mirror"));
  EXPECT_FALSE(done->apply);

  // Cancelled, nothing offered before survives into the next arming.
  learn.arm();
  EXPECT_TRUE(learn.offer(unknown("/1/fader4", 0.4f)));
  learn.cancel();
  EXPECT_FALSE(learn.addressOffered());
  learn.arm();
  EXPECT_FALSE(learn.controlMoved(target("floor")));
  EXPECT_FALSE(learn.addressOffered());
  EXPECT_TRUE(learn.armed());
}

// ---- The OSC thread ----

struct Received {
  A action;
  std::chrono::steady_clock::time_point at;
};

class OscInputTest : public ::testing::Test {
 protected:
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<Received> received;
  std::vector<OscUnknown> offered;
  OscMappings learned;
  std::unique_ptr<OscInput> input;
  test::Udp sender;

  void start() {
    auto started = OscInput::start({"127.0.0.1", 0, true,
                                    [this](const A& a) {
                                      const std::lock_guard lock(mutex);
                                      received.push_back({a, std::chrono::steady_clock::now()});
                                      changed.notify_all();
                                    },
                                    &learned,
                                    [this](const OscUnknown& u) {
                                      const std::lock_guard lock(mutex);
                                      offered.push_back(u);
                                      changed.notify_all();
                                      return u.address == "/learn/me";
                                    }});
    ASSERT_TRUE(started) << started.message();
    input = std::move(*started);
    sender.port = input->port();
  }
  void TearDown() override { input.reset(); }
  void send(const Bytes& b) { sender.raw(b); }
  bool waitFor(size_t actions) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, std::chrono::seconds(10),
                            [&] { return received.size() >= actions; });
  }
};

TEST_F(OscInputTest, TimedBundlesWaitWhileLaterPacketsGoThrough) {
  learned.set({"/1/fader1", &target("floor"), OscForm::Float});
  start();
  testing::internal::CaptureStderr();
  const OscClockReading now = oscClockNow();
  const auto sent = std::chrono::steady_clock::now();
  send(oscBundle(oscTimeTagAfter(now, 300'000'000), {osc("/videozarnix/gain/red", "i", 50)}));
  send(oscBundle(oscTimeTagAfter(now, 60'000'000'000), {osc("/videozarnix/gain/blue", "i", 70)}));
  send(oscBundle(oscTimeTagAfter(now, -5'000'000'000), {osc("/videozarnix/gain/green", "i", 60)}));
  send(osc("/1/fader1", "f", 1.0f));
  send(osc("/learn/me", "f", 0.25f));    // taken for learning: no line
  send(osc("/not/learned", "f", 0.5f));  // offered, refused: a line
  const bool all = waitFor(3);
  input.reset();  // also ends the thread's wait, nothing left behind
  const std::string said = testing::internal::GetCapturedStderr();
  ASSERT_TRUE(all) << said;
  ASSERT_EQ(received.size(), 3u);
  EXPECT_EQ(received[0].action, (A{K::Slider, kIdGainGreen, 60}));  // in the past: at once
  EXPECT_EQ(received[1].action, (A{K::Slider, kIdFloor, 1}));
  EXPECT_EQ(received[2].action, (A{K::Slider, kIdGainRed, 50}));
  EXPECT_GE(received[2].at - sent, std::chrono::milliseconds(290));  // not before its time
  ASSERT_EQ(offered.size(), 2u);
  EXPECT_EQ(offered[0].address, "/learn/me");
  EXPECT_NE(said.find("videozarnix: OSC ignored: a bundle timed 60.0 s ahead, more than 10 s"),
            std::string::npos)
      << said;
  EXPECT_NE(said.find("videozarnix: OSC ignored: /not/learned: unknown address"), std::string::npos)
      << said;
  EXPECT_EQ(said.find("/learn/me"), std::string::npos) << said;
}

TEST_F(OscInputTest, AThreadWaitingOnATimedBundleStopsAtOnce) {
  start();
  const OscClockReading now = oscClockNow();
  send(oscBundle(kOscImmediately, {osc("/videozarnix/gain/red", "i", 1),
                                   oscBundle(oscTimeTagAfter(now, 9'000'000'000),
                                             {osc("/videozarnix/gain/red", "i", 2)})}));
  ASSERT_TRUE(waitFor(1));
  input.reset();  // joins a thread asleep until the timed one: woken, not waited for
  EXPECT_EQ(received.size(), 1u);
}

}  // namespace
}  // namespace vz
