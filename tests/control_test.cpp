// SPDX-License-Identifier: GPL-3.0-or-later
// The controllers' pure parts: MIDI bytes, mappings and their file, learning and the
// coalescing queue (OSC has osc_test.cpp).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "control/action_queue.h"
#include "control/control_targets.h"
#include "control/midi_mappings.h"
#include "control/midi_parser.h"
#include "res/control_ids.h"
#include "tests/scratch_dir.h"
#include "tests/special_files.h"

namespace vz {
namespace {

using Bytes = std::vector<uint8_t>;
using A = ControllerAction;
using K = ControllerAction::Kind;

TEST(MidiParser, MessagesFromByteStreams) {
  const struct {
    const char* what;
    Bytes in;
    std::vector<MidiMessage> out;
  } cases[] = {
      {"control change", {0xB0, 7, 100}, {{0xB0, 7, 100}}},
      {"running status", {0xB2, 7, 16, 8, 32}, {{0xB2, 7, 16}, {0xB2, 8, 32}}},
      {"one-byte messages run too", {0xC1, 5, 6}, {{0xC1, 5, 0}, {0xC1, 6, 0}}},
      {"realtime inside a message", {0xB0, 0xF8, 7, 0xFE, 100}, {{0xB0, 7, 100}}},
      {"realtime between running messages",
       {0xB0, 7, 16, 0xFA, 8, 0xFF, 32},
       {{0xB0, 7, 16}, {0xB0, 8, 32}}},
      {"cut short by a new status", {0xB0, 7, 0xC0, 3}, {{0xC0, 3, 0}}},
      {"cut short at the end", {0xB0, 7}, {}},
      {"data without a status", {7, 100, 0xC0}, {}},
      {"sysex skipped and ends running status",
       {0xB0, 7, 16, 0xF0, 1, 2, 0xF7, 8, 32},
       {{0xB0, 7, 16}}},
      {"realtime inside sysex", {0xF0, 1, 0xF8, 2, 0xF7, 0xC0, 1}, {{0xC0, 1, 0}}},
      {"song position skipped", {0xF2, 0x10, 0x20, 0xB0, 1, 2}, {{0xB0, 1, 2}}},
      {"note and pitch bend", {0x90, 60, 127, 0xE0, 0, 64}, {{0x90, 60, 127}, {0xE0, 0, 64}}},
  };
  for (const auto& c : cases) EXPECT_EQ(parseMidi(c.in), c.out) << c.what;
}

TEST(MidiParser, ProgramAndControlChangesBecomeRequests) {
  const struct {
    MidiMessage in;
    std::optional<A> out;
  } cases[] = {
      {{0xC0, 0}, A{K::MidiPc, 0, 0}}, {{0xCF, 25}, A{K::MidiPc, 15, 25}},
      {{0xC0, 26}, std::nullopt},      {{0xB3, 7, 100}, A{K::MidiCc, 3 * 128 + 7, 100}},
      {{0x90, 60, 127}, std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(actionForMidi(c.in), c.out) << int(c.in.status);
}

const ControlTarget& target(const char* name) {
  const ControlTarget* t = findControlTarget(name);
  EXPECT_NE(t, nullptr) << name;
  return *t;
}

TEST(MidiMappings, ControllerValuesScaleOntoTheControl) {
  auto full = [](const char* name) { return fullRangeMapping(0, 1, target(name)); };
  auto ranged = [](const char* name, int low, int high, bool invert) {
    return MidiMapping{0, 1, &target(name), low, high, invert};
  };
  const struct {
    MidiMapping mapping;
    int value;
    A out;
  } cases[] = {
      {full("gain/red"), 0, {K::Slider, kIdGainRed, 0}},
      {full("gain/red"), 127, {K::Slider, kIdGainRed, 255}},
      {full("gain/red"), 64, {K::Slider, kIdGainRed, 129}},
      {full("quantize/green"), 127, {K::Slider, kIdQuantizeGreen, 7}},
      // Floor runs the other way on its slider: floor 0 is position 255.
      {full("floor"), 0, {K::Slider, kIdFloor, 255}},
      {full("floor"), 127, {K::Slider, kIdFloor, 1}},
      {full("color"), 127, {K::Slider, kIdColor, 0}},
      {ranged("gain/red", 0, 255, true), 0, {K::Slider, kIdGainRed, 255}},
      {ranged("tint/blue", 100, 200, false), 127, {K::Slider, kIdTintBlue, 200}},
      {ranged("tint/blue", 100, 200, true), 127, {K::Slider, kIdTintBlue, 100}},
      {ranged("tint/blue", 200, 100, false), 0, {K::Slider, kIdTintBlue, 200}},
      {full("invert/red"), 63, {K::Switch, kIdInvertRed, 0}},
      {full("invert/red"), 64, {K::Switch, kIdInvertRed, 1}},
      {ranged("mirror", 0, 1, true), 64, {K::Switch, kIdMirror, 0}},
      {full("mode"), 0, {K::Mode, 0, 0}},
      {full("mode"), 18, {K::Mode, 0, 0}},
      {full("mode"), 19, {K::Mode, 0, 1}},
      {full("mode"), 127, {K::Mode, 0, 6}},
      // A pad bound to the tempo's tap: a press taps, its release does not.
      {full("tap"), 127, {K::Tap, 1, 0}},
      {full("tap"), 63, {K::Tap, 0, 0}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(mappedAction(c.mapping, c.value), c.out) << c.mapping.target->name << " " << c.value;
}

// Damaged lines are reported and kept; a rewrite writes out, changes, drops and adds only the
// lines of the mappings, and keeps comments, blank lines and lines another kind owns as they were.
TEST(MidiMappings, FileLinesParseDamagedOnesAreReportedAndARewriteKeepsTheRest) {
  const std::string kept =
      "17 7 gain/red\n"
      "1 128 gain/red\n"
      "1 8 sparkle\n"
      "1 9 gain/red 0 256\n"
      "1 10 floor 0 255 upside-down\n"
      "1 11\n"
      "\x01\xff\xfe junk\n"
      "/1/fader1 gain/red   # a line another kind owns\n";
  const std::string text =
      "# comment\n"
      "1 7 gain/red\n"
      "\n"
      "16 127 tint/blue 100 200 invert  # trailing comment\n" +
      kept +
      "2 3 mode invert\n"
      "10 36 tap\n";
  std::vector<std::string> problems;
  std::vector<MidiMapping> mappings = parseMappings(text, &problems);
  ASSERT_EQ(mappings.size(), 4u);
  EXPECT_EQ(mappings[0], fullRangeMapping(0, 7, target("gain/red")));
  EXPECT_EQ(mappings[1], (MidiMapping{15, 127, &target("tint/blue"), 100, 200, true}));
  EXPECT_TRUE(mappings[2].invert);
  EXPECT_EQ(mappings[3], fullRangeMapping(9, 36, target("tap")));
  ASSERT_EQ(problems.size(), 7u);
  EXPECT_EQ(problems[0].rfind("line 5:", 0), 0u) << problems[0];
  EXPECT_EQ(problems[6].rfind("line 11:", 0), 0u) << problems[6];
  // What is written reads back the same.
  EXPECT_EQ(parseMappings(formatMappings(mappings), nullptr), mappings);

  mappings[1].high = 128;                                         // changed in place
  mappings.erase(mappings.begin() + 2);                           // cleared
  mappings.push_back(fullRangeMapping(2, 70, target("mirror")));  // learned
  EXPECT_EQ(rewriteMidiLines(text, mappings),
            "# comment\n"
            "1 7 gain/red 0 255\n"
            "\n"
            "16 127 tint/blue 100 128 invert  # trailing comment\n" +
                kept +
                "10 36 tap 0 1\n"
                "3 70 mirror 0 1\n");
  EXPECT_EQ(parseMappings(rewriteMidiLines("", mappings), nullptr), mappings);
  EXPECT_EQ(rewriteMidiLines("", mappings).rfind("# Video Zarnix MIDI mappings", 0), 0u);
}

TEST(MidiMappings, SavedAtomicallyAndLoadedBack) {
  const test::ScratchDir dir("vz-map");
  const std::string path = (dir / "videozarnix" / "midi-mappings").string();
  const std::vector<MidiMapping> mappings = {fullRangeMapping(2, 5, target("output/green")),
                                             {0, 9, &target("floor"), 10, 20, true}};
  const Status saved = saveMappingsFile(path, mappings);
  ASSERT_TRUE(saved) << saved.message();
  EXPECT_EQ(loadMappingsFile(path), mappings);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "videozarnix"), {}), 1)
      << "no temporary file is left behind";
  EXPECT_TRUE(loadMappingsFile((dir / "missing").string()).empty());
  std::ofstream(path, std::ios::binary) << "\x7f"
                                           "ELF\x02\x01\x01 junk\n1 7 gain/red\n"
                                        << std::string(5000, '\xff') << "\n3 4 mirror invert";
  EXPECT_EQ(loadMappingsFile(path).size(), 2u) << "a damaged file is read line by line";
  std::filesystem::create_directories(dir / "blocked");  // a directory where the file goes
  const Status blocked = saveMappingsFile((dir / "blocked").string(), mappings);
  EXPECT_FALSE(blocked);
  EXPECT_FALSE(blocked.message().empty());
  // Read on the GUI thread at start-up: a pipe, device, socket or folder in its place is no
  // mappings, and never waited on.
  for (const auto& [name, kind] : test::makeSpecialFiles(dir.path)) {
    ::testing::internal::CaptureStderr();
    EXPECT_TRUE(loadMappingsFile(name).empty()) << name;
    EXPECT_EQ(
        ::testing::internal::GetCapturedStderr(),
        "videozarnix: " + name + " is not a MIDI mappings file that can be read (" + kind + ")\n");
  }
}

TEST(MidiMappings, PathFollowsTheConfigFolder) {
  setenv("XDG_CONFIG_HOME", "/cfg", 1);
  setenv("HOME", "/home/u", 1);
  EXPECT_EQ(midiMappingsPath(), "/cfg/videozarnix/midi-mappings");
  setenv("XDG_CONFIG_HOME", "", 1);
  EXPECT_EQ(midiMappingsPath(), "/home/u/.config/videozarnix/midi-mappings");
}

TEST(MidiLearn, BindsTheNextControlAndControllerInEitherOrder) {
  EXPECT_EQ(controlTargetById(0), nullptr);  // the tap's id: no dialog control to learn
  MidiLearn learn;
  EXPECT_FALSE(learn.controlMoved(target("floor")));  // not armed
  learn.arm();
  EXPECT_FALSE(learn.controlMoved(target("floor")));
  EXPECT_FALSE(learn.controlMoved(target("gain/blue")));  // the latest control counts
  EXPECT_EQ(learn.controllerChanged(3, 20), fullRangeMapping(3, 20, target("gain/blue")));
  EXPECT_FALSE(learn.armed());
  learn.arm();
  EXPECT_FALSE(learn.controllerChanged(1, 2));
  EXPECT_EQ(learn.controlMoved(target("mode")), fullRangeMapping(1, 2, target("mode")));
  learn.arm();
  learn.cancel();
  EXPECT_FALSE(learn.controllerChanged(1, 2));
}

TEST(ActionQueue, LatestValuePerControlWinsAndOneWakeIsOutstanding) {
  int wakes = 0;
  ActionQueue queue([&] { ++wakes; });
  queue.post({K::Slider, kIdGainRed, 1});
  queue.post({K::Preset, 0, 3});
  for (int v = 2; v < 1000; ++v) queue.post({K::Slider, kIdGainRed, v});
  queue.post({K::Slider, kIdGainGreen, 5});
  queue.post({K::Tap, 1, 0});  // a quick press and release still taps
  queue.post({K::Tap, 0, 0});
  EXPECT_EQ(wakes, 1);
  EXPECT_EQ(queue.take(), (std::vector<A>{{K::Preset, 0, 3},
                                          {K::Slider, kIdGainRed, 999},
                                          {K::Slider, kIdGainGreen, 5},
                                          {K::Tap, 1, 0},
                                          {K::Tap, 0, 0}}));
  queue.post({K::Mode, 0, 1});
  EXPECT_EQ(wakes, 2);
}

}  // namespace
}  // namespace vz
