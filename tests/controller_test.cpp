// SPDX-License-Identifier: GPL-3.0-or-later
// MIDI and OSC driving the real dialog: OSC through UDP on the loopback address, MIDI both ways
// through a private JACK server and a controller plugged into it.
#include <QCommandLineParser>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>
#include <algorithm>
#include <optional>
#include <random>

#include "app/controller_command_line.h"
#include "app/controller_menu.h"
#include "app/feedback_bridge.h"
#include "app/feedback_command_line.h"
#include "control/control_targets.h"
#include "control/midi_input.h"
#include "control/osc_input.h"
#include "tests/controller_fixture.h"
#include "tests/private_jack.h"

namespace vz {
namespace {

using test::JackPads;

class ControllerTest : public test::ControllerFixture {
 protected:
  std::optional<test::PrivateJack> jack;  // outlives the bridge, which TearDown ends

  // MIDI on a JACK server of the test's own.
  void startMidi() {
    jack.emplace();
    ASSERT_TRUE(jack->waitUntilRunning());
    start({true, 0, "", false});
    ASSERT_NE(bridge->midi(), nullptr);
  }
};

// ---- OSC ----

TEST_F(ControllerTest, OscRecallsModesSlidersSwitchesAndFullScreen) {
  startOsc({}, true);
  test::Udp osc(oscPort);
  storeLook(2, 77, 3);

  osc.send("/videozarnix/fullscreen", "i", 1);
  ASSERT_TRUE(QTest::qWaitFor([&] { return engine().fullScreen == 1; }, 5000));
  // A recall refreshes the controls also in full screen.
  osc.send("/videozarnix/preset", "s", "c");
  ASSERT_TRUE(QTest::qWaitFor([&] { return slider(kIdGainRed) == 77; }, 5000));
  EXPECT_EQ(loadRelaxed(engine().gainRed), 77);
  EXPECT_TRUE(checked(kIdModeFirst + 3));
  osc.send("/videozarnix/fullscreen", "i", 0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return engine().fullScreen == 0; }, 5000));

  osc.send("/videozarnix/mode", "s", "emboss");
  ASSERT_TRUE(QTest::qWaitFor([&] { return checked(kIdModeFirst + 6); }, 5000));
  EXPECT_EQ(loadRelaxed(engine().mode), 6);

  // The move goes the user's way: every horizontal slider is read again.
  ops().setSliderPos(kIdOutputRed, 40);
  osc.send("/videozarnix/gain/green", "f", 0.5f);
  ASSERT_TRUE(QTest::qWaitFor([&] { return loadRelaxed(engine().gainGreen) == 128; }, 5000));
  EXPECT_EQ(slider(kIdGainGreen), 128);
  EXPECT_EQ(loadRelaxed(engine().outputRed), 40);

  // Set, never toggled. Each pair is awaited: two pairs taken at once would coalesce.
  for (size_t pairs = 1; pairs <= 2; ++pairs) {
    osc.send("/videozarnix/invert/blue", "i", 1);
    osc.send("/videozarnix/record", "i", 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return recordings.size() == pairs; }, 5000));
  }
  EXPECT_EQ(loadRelaxed(engine().invertBlue), 1);
  EXPECT_TRUE(checked(kIdInvertBlue));
  EXPECT_EQ(recordings, (std::vector<bool>{true, true}));
  EXPECT_EQ(boxAllowed, (std::vector<bool>{true, true}));
}

// --verbose names what it ignores; the address came from the network, so its escape
// sequences (C0, C1 as UTF-8, raw high bytes) are shown, not sent to the terminal.
TEST_F(ControllerTest, IgnoredOscAddressesReachTheTerminalEscaped) {
  startOsc({}, true);
  test::Udp osc(oscPort);
  testing::internal::CaptureStderr();
  osc.send(
      "/videozarnix/\xc2\x9b"
      "2J\x1b]0;x\x07\n\xff",
      "i", 1);
  osc.send("/videozarnix/gain/red", "i", 9);  // taken after the first on the same thread
  const bool taken = QTest::qWaitFor([&] { return loadRelaxed(engine().gainRed) == 9; }, 5000);
  const std::string said = testing::internal::GetCapturedStderr();
  ASSERT_TRUE(taken);
  EXPECT_NE(said.find("/videozarnix/\\xC2\\x9B2J\\x1B]0;x\\x07\\x0A\\xFF"), std::string::npos)
      << said;
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
}

TEST_F(ControllerTest, OscFloodOfDamagedPacketsLeavesTheProgramAnswering) {
  startOsc();
  test::Udp osc(oscPort);
  const std::vector<uint8_t> good[] = {test::oscPacket("/videozarnix/gain/red", "i", 5),
                                       test::oscPacket("/videozarnix/mode", "s", "lut"),
                                       test::oscPacket("/videozarnix/preset", "i", 3)};
  std::mt19937 rng(14);
  for (int i = 0; i < 10000; ++i) {
    std::vector<uint8_t> p;
    if (i % 2 == 0) {
      p.resize(rng() % 200);
      for (auto& b : p) b = static_cast<uint8_t>(rng());
    } else {
      p = good[i % 3];
      if (i % 5 == 0) p.resize(rng() % p.size());
      for (int k = 0; k < 3 && !p.empty(); ++k) p[rng() % p.size()] = static_cast<uint8_t>(rng());
    }
    osc.raw(p);
    if (i % 500 == 0) QApplication::processEvents();
  }
  // Still answering (a packet may have been dropped by a full socket: send until heard).
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        osc.send("/videozarnix/gain/red", "i", 33);
        return slider(kIdGainRed) == 33;
      },
      10000));
  EXPECT_EQ(loadRelaxed(engine().gainRed), 33);
}

TEST_F(ControllerTest, TakenOscPortLeavesTheProgramWithoutOsc) {
  test::Udp taken;
  start({false, taken.bindFreePort(), "127.0.0.1", false});
  EXPECT_EQ(bridge->osc(), nullptr);
}

TEST_F(ControllerTest, RequestsDuringAMessageBoxApplyButOpenNoSecondBox) {
  start({false, 0, "", false});
  storeLook(7, 42, 1);
  QMessageBox box(QMessageBox::Information, "Busy", "A box is open");
  QTimer::singleShot(0, &box, [&] {
    bridge->queue().post({ControllerAction::Kind::Preset, 0, 7});
    bridge->queue().post({ControllerAction::Kind::Record, 0, 1});
    (void)QTest::qWaitFor([&] { return !recordings.empty(); }, 5000);
    box.done(0);
  });
  box.exec();
  EXPECT_EQ(slider(kIdGainRed), 42);
  EXPECT_EQ(boxAllowed, std::vector<bool>{false});
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(ControllerTest, LearnFromTheMenuBindsAMovedSwitchAndEscapeCancels) {
  start({false, 0, "", false});
  QMenu menu;
  addControllerMenuActions(menu, *bridge);
  QAction* learn = menu.actions().at(0);
  ASSERT_EQ(learn->text(), "MIDI Learn");
  learn->trigger();
  EXPECT_TRUE(bridge->learning());
  EXPECT_TRUE(learn->isChecked());
  key(kIdInvertRed, Qt::Key_Escape);
  EXPECT_FALSE(bridge->learning());
  EXPECT_FALSE(learn->isChecked());

  learn->trigger();
  click(kIdMirror);  // the user's own move, a toggle as ever
  bridge->queue().post({ControllerAction::Kind::MidiCc, 3 * 128 + 64, 127});
  ASSERT_TRUE(QTest::qWaitFor([&] { return !learn->isChecked(); }, 5000));
  ASSERT_EQ(bridge->mappings().all().size(), 1u);
  EXPECT_STREQ(bridge->mappings().all()[0].target->name, "mirror");
  for (int value : {0, 100, 100}) {  // set from the controller, never toggled
    bridge->queue().post({ControllerAction::Kind::MidiCc, 3 * 128 + 64, value});
    QTest::qWait(50);
    EXPECT_EQ(loadRelaxed(engine().mirror), value >= 64 ? 1 : 0);
    EXPECT_EQ(checked(kIdMirror), value >= 64);
  }
  menu.actions().at(1)->trigger();  // Clear MIDI Mappings, also in the file
  EXPECT_TRUE(bridge->mappings().all().empty());
  EXPECT_TRUE(loadMappingsFile(mappingsPath).empty());
}

// The options as the program reads them, through the shared option tables, on one parser as
// the program has them; the values are checked by the same rules as every other option, and a
// refusal names the value.
TEST_F(ControllerTest, OptionsJoinAQtCommandLine) {
  using M = MidiFeedbackMode;
  const struct {
    QStringList args;
    bool ok;
    ControllerOptions out;
  } cases[] = {
      {{"clip.mpg"}, true, {}},
      {{"--midi", "none", "--osc-port=9001", "--verbose", "clip.mpg"},
       true,
       {false, 9001, "", true}},
      {{"--osc-port", "0", "--osc-bind", "127.0.0.1", "--midi", "auto"},
       true,
       {true, 0, "127.0.0.1"}},
      {{"--osc-feedback", "127.0.0.1:9000", "--osc-feedback=tablet.local:8000", "--osc-feedback",
        "[::1]:9000", "--midi-feedback", "cc"},
       true,
       {true, 7770, "", false, {{"127.0.0.1:9000", "tablet.local:8000", "[::1]:9000"}, M::Cc}}},
      {{"--midi-feedback", "all"}, true, {true, 7770, "", false, {{}, M::All}}},
      {{"--midi-feedback", "off"}, true, {true, 7770, "", false, {{}, M::Off}}},
      {{"--midi", "alsa"}, false, {}},
      {{"--osc-port", "65536"}, false, {}},
      {{"--osc-port", "12ab"}, false, {}},
      {{"--osc-port", "x"}, false, {}},
      {{"--midi-feedback", "off", "--midi-feedback", "cc"}, false, {}},
      {{"--midi-feedback", "on"}, false, {}},
      {{"--osc-feedback", "9000"}, false, {}},
      {{"--osc-feedback", "::1:9000"}, false, {}},
      {{"--osc-feedback", "127.0.0.1"}, false, {}},
      {{"--osc-feedback", "127.0.0.1:0"}, false, {}},
      {{"--osc-feedback", "h:65536"}, false, {}},
      {{"--osc-feedback", "h:9x"}, false, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.join(' ').toStdString());
    QCommandLineParser parser;
    addControllerOptions(parser);
    addFeedbackOptions(parser);
    ASSERT_TRUE(parser.parse(QStringList{"videozarnix"} + c.args));
    ControllerOptions o;
    Status read = readControllerOptions(parser, o);
    if (read) read = readFeedbackOptions(parser, o.feedback);
    EXPECT_EQ(read.ok(), c.ok);
    EXPECT_EQ(read.message().empty(), c.ok);
    if (!c.ok && c.args.size() == 2) {  // a refused value is named
      EXPECT_NE(read.message().find(c.args.last().toStdString()), std::string::npos)
          << read.message();
    }
    if (!c.ok) continue;
    EXPECT_EQ(std::tie(o.midi, o.oscPort, o.oscBind, o.verbose, o.feedback.oscTargets),
              std::tie(c.out.midi, c.out.oscPort, c.out.oscBind, c.out.verbose,
                       c.out.feedback.oscTargets));
    EXPECT_EQ(o.feedback.midi, c.out.feedback.midi);
    EXPECT_EQ(parser.positionalArguments(), c.args.filter("clip"));
  }
}

// ---- MIDI ----

// A control change of that status byte and controller.
auto cc(uint8_t status, uint8_t controller) {
  return [=](const std::vector<uint8_t>& m) {
    return m.size() == 3 && m[0] == status && m[1] == controller;
  };
}

// Recalls, learning and the mappings file with a controller that has a way in and a way out
// (the motorised kind): the look follows the controller and the controller the look, never
// echoing its own moves back to it.
TEST_F(ControllerTest, MidiRecallsFollowsLearnsAndKeepsTheUsersFile) {
  const std::string handWritten =
      "# the pads\n1 20 gain/blue 0 255  # big knob\n2 21 tint/blue 100 200 invert\n";
  std::filesystem::create_directories(dir / "videozarnix");
  test::writeFile(mappingsPath, handWritten);
  startMidi();
  JackPads pads("vz test pads");
  ASSERT_TRUE(pads.ok());
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        return bridge->midi()->connectedSources() >= 1 &&
               bridge->midi()->connectedDestinations() >= 1;
      },
      10000));
  // One client: every port of ours is on it.
  const char** ours = jack_get_ports(pads.client(), "^Video Zarnix", nullptr, 0);
  std::vector<std::string> names;
  for (const char** n = ours; n && *n; ++n) names.emplace_back(*n);
  jack_free(ours);
  EXPECT_EQ(names, (std::vector<std::string>{"Video Zarnix:Video Zarnix",
                                             "Video Zarnix:Video Zarnix out"}));

  // A recall by Program Change, on any channel: every mapped controller follows, scaled into
  // its range and turned round where the mapping is; that Program Change is not sent back.
  VideoEngine& e = engine();
  e.gainBlue = 255, e.tintBlue = 125, e.mode = 1;
  storeSlot(e, 4);
  e.gainBlue = 0, e.tintBlue = 0, e.mode = 0;
  bridge->feedback().tick();
  pads.clear();
  ASSERT_TRUE(repeatUntil(
      [&] {
        pads.send({0xC3, 4});
      },
      [&] { return slider(kIdGainBlue) == 255; }));
  EXPECT_TRUE(checked(kIdModeFirst + 1));
  ASSERT_TRUE(QTest::qWaitFor([&] { return pads.hasReceived({0xB1, 21, 95}); }, 5000));
  EXPECT_TRUE(pads.hasReceived({0xB0, 20, 127}));
  pads.send({0xC3, 26});  // no slot
  pads.send({0xC3, 0});
  ASSERT_TRUE(QTest::qWaitFor([&] { return slider(kIdGainBlue) == 0; }, 5000));
  QTest::qWait(200);
  for (const auto& m : pads.received()) EXPECT_NE(m[0] & 0xF0, 0xC0) << "no Program Change echo";

  // Recalled from elsewhere (a letter key): the Program Change goes out too, on the channel
  // the pads recall on.
  pads.clear();
  typeKey(Qt::Key_E);
  EXPECT_TRUE(QTest::qWaitFor([&] { return pads.hasReceived({0xC3, 4}); }, 5000));

  // The knobs turned (127 is the low end of an inverted range): the controls follow and
  // nothing goes back to the knobs, while a change from the dialog does.
  pads.clear();
  pads.send({0xB0, 20, 64});
  pads.send({0xB1, 21, 127});
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return loadRelaxed(e.gainBlue) == 129 && loadRelaxed(e.tintBlue) == 100; }, 5000));
  key(kIdTintBlue, Qt::Key_Right);
  ASSERT_TRUE(QTest::qWaitFor([&] { return pads.hasReceived(cc(0xB1, 21)); }, 5000));
  EXPECT_FALSE(pads.hasReceived(cc(0xB0, 20))) << "no echo of the knob's own move";
  key(kIdGainBlue, Qt::Key_Left);
  EXPECT_TRUE(QTest::qWaitFor([&] { return pads.hasReceived(cc(0xB0, 20)); }, 5000));

  // Learning: the user moves Gain red, the pads' fader 30 completes it, and its value counts;
  // the file keeps the user's lines and comments beside the learned one.
  bridge->setLearning(true);
  key(kIdGainRed, Qt::Key_Right);
  pads.send({0xB0, 30, 127});
  ASSERT_TRUE(QTest::qWaitFor([&] { return !bridge->learning(); }, 5000));
  EXPECT_TRUE(QTest::qWaitFor([&] { return slider(kIdGainRed) == 255; }, 5000));
  EXPECT_EQ(test::readFile(mappingsPath), handWritten + "1 30 gain/red 0 255\n");

  // The next start reads them all back.
  start({true, 0, "", false});
  EXPECT_EQ(bridge->mappings().all().size(), 3u);
  EXPECT_TRUE(repeatUntil(
      [&] {
        pads.send({0xB0, 30, 0});
      },
      [&] { return slider(kIdGainRed) == 0; }));
}

TEST_F(ControllerTest, AControllerConnectedByHandIsLeftAsItIs) {
  startMidi();
  JackPads pads("vz test hand");
  ASSERT_TRUE(pads.ok());
  // Connected by hand before the program's first look at the ports, or after it: either way
  // one connection, and the way back is left to the user.
  jack_connect(pads.client(), "vz test hand:out", "Video Zarnix:Video Zarnix");
  ASSERT_TRUE(QTest::qWaitFor([&] { return bridge->midi()->connectedSources() >= 1; }, 10000));
  QTest::qWait(2500);  // two more looks at the ports
  EXPECT_EQ(bridge->midi()->connectedSources(), 1);
  EXPECT_EQ(bridge->midi()->connectedDestinations(), 0);
}

// The JACK server killed under a connected controller and started again: one line each way,
// and the controller plays again without anyone touching the program. Back, it is told the
// look as it is then, never the recalls made while the server was gone.
TEST_F(ControllerTest, MidiComesBackWithItsJackServer) {
  storeLook(4, 90, 1);
  storeLook(1, 11, 1);
  storeLook(2, 22, 1);
  startMidi();
  auto keys = std::make_unique<JackPads>("vz test keys");
  auto recall = [&](int slot, int gainRed) {
    return repeatUntil(
        [&] {
          keys->send({0xC0, static_cast<uint8_t>(slot)});
        },
        [&] { return slider(kIdGainRed) == gainRed; });
  };
  ASSERT_TRUE(recall(4, 90));

  testing::internal::CaptureStderr();
  keys.reset();
  jack->kill();
  const bool lost = QTest::qWaitFor([&] { return !bridge->midi()->online(); }, 10000);
  typeKey(Qt::Key_B);
  typeKey(Qt::Key_C);
  const bool recalled = QTest::qWaitFor([&] { return slider(kIdGainRed) == 22; }, 5000);
  jack->start();
  const bool restarted = jack->waitUntilRunning();
  const bool back = QTest::qWaitFor([&] { return bridge->midi()->online(); }, 20000);
  bool told = false, stale = true, playing = false;
  if (back) {
    keys = std::make_unique<JackPads>("vz test keys");
    told = QTest::qWaitFor([&] { return keys->hasReceived({0xC0, 2}); }, 10000);
    stale = keys->hasReceived({0xC0, 1});
    playing = recall(0, 0);
  }
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(lost) << said;
  ASSERT_TRUE(recalled);
  ASSERT_TRUE(restarted);
  EXPECT_TRUE(back) << said;
  EXPECT_TRUE(told) << "the look as it is (C) once connected again";
  EXPECT_FALSE(stale) << "a recall made while the server was gone";
  EXPECT_TRUE(playing) << said;
  auto count = [&](const std::string& what) {
    int n = 0;
    for (size_t at = said.find(what); at != std::string::npos; at = said.find(what, at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count("videozarnix: MIDI lost"), 1) << said;
  EXPECT_EQ(count("videozarnix: MIDI back"), 1) << said;
}

}  // namespace
}  // namespace vz
