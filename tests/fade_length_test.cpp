// SPDX-License-Identifier: GPL-3.0-or-later
// The program's fade length: from the command line and OSC into frames at the source's rate
// and the tempo, and what the recall on the panel asks.
#include <gtest/gtest.h>

#include <QStringList>
#include <memory>

#include "app/command_line.h"
#include "app/fade_control.h"
#include "control/osc_parser.h"
#include "tests/osc_packet.h"

namespace vz {
namespace {

CommandLine parse(std::initializer_list<const char*> args) {
  QStringList list{QStringLiteral("videozarnix")};
  for (const char* a : args) list << QString::fromUtf8(a);
  return parseCommandLine(list);
}

TEST(FadeLength, CommandLineValuesAndRefusals) {
  const CommandLine c = parse({"--fade", "0.5", "--fade-beats", "4"});
  ASSERT_TRUE(c.run) << c.message;
  EXPECT_DOUBLE_EQ(c.options.fade.seconds, 0.5);
  EXPECT_DOUBLE_EQ(c.options.fade.beats, 4);
  EXPECT_DOUBLE_EQ(parse({}).options.fade.seconds, 0);  // recalls cut by default
  for (auto bad : {std::pair{"--fade", "-1"}, std::pair{"--fade", "61"}, std::pair{"--fade", "x"},
                   std::pair{"--fade", "nan"}, std::pair{"--fade-beats", "65"}}) {
    const CommandLine r = parse({bad.first, bad.second});
    EXPECT_FALSE(r.run) << bad.first << " " << bad.second;
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.message.find(bad.first), std::string::npos) << r.message;
  }
  EXPECT_FALSE(parse({"--fade", "1", "--fade", "2"}).run);
}

TEST(FadeLength, FramesFromSecondsOrBeatsAtTheSourceRate) {
  struct Case {
    double seconds, beats, fps;
    std::optional<double> bpm;
    int frames;
  };
  for (const Case& c : {Case{0.5, 0, 25, {}, 13},     // 12.5 rounded
                        Case{1, 0, 29.97, {}, 30},    //
                        Case{0, 0, 30, {}, 1},        // off: a cut
                        Case{0.01, 0, 30, {}, 1},     // under a frame: a cut
                        Case{1, 0, 0, {}, 1},         // rate unknown: a cut
                        Case{0.5, 1, 30, 120.0, 15},  // a beat at 120 bpm
                        Case{0.5, 4, 30, 120.0, 60},  // a bar
                        Case{0.5, 4, 30, {}, 15},     // no tempo: the seconds
                        Case{60, 0, 2000, {}, 65535}}) {
    EXPECT_EQ(fadeFramesFor(c.seconds, c.beats, c.fps, c.bpm), c.frames)
        << c.seconds << " s, " << c.beats << " beats at " << c.fps;
  }
  // What a recall asks: the control's answer from the link's length and the source's rate.
  auto engine = std::make_unique<VideoEngine>();
  {
    FadeControl control(*engine, [] { return 30.0; });
    control.apply({0.5, 0});
    engine->fadeLink.refreshFrames();
    EXPECT_EQ(engine->fadeLink.fadeFrames(), 15);
    control.setTempo([] { return std::optional<double>(60.0); });
    control.apply({0.5, 2});
    engine->fadeLink.refreshFrames();
    EXPECT_EQ(engine->fadeLink.fadeFrames(), 60);
  }
  engine->fadeLink.setFadeFrames(7);
  engine->fadeLink.refreshFrames();  // the control is gone: nobody to ask, the frames stay
  EXPECT_EQ(engine->fadeLink.fadeFrames(), 7);
}

TEST(FadeLength, OscFadeTakesSeconds) {
  auto one = [](const std::vector<uint8_t>& p) { return parseOscPacket(p.data(), p.size()).at(0); };
  const OscOutcome f = one(test::oscPacket("/videozarnix/fade", "f", 0.25f));
  ASSERT_TRUE(f.action) << f.action.message();
  EXPECT_EQ(*f.action, (ControllerAction{ControllerAction::Kind::Fade, 0, 250}));
  EXPECT_EQ(one(test::oscPacket("/videozarnix/fade", "i", 2)).action->value, 2000);
  EXPECT_FALSE(one(test::oscPacket("/videozarnix/fade", "f", -1.0f)).action);
  EXPECT_FALSE(one(test::oscPacket("/videozarnix/fade", "s", "x")).action);
}

}  // namespace
}  // namespace vz
