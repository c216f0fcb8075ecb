// SPDX-License-Identifier: GPL-3.0-or-later
// MIDI and OSC driving the real dialog: OSC through UDP on the loopback address, MIDI
// through a private JACK server and an RtMidi port.
#include <jack/jack.h>
#include <rtmidi/RtMidi.h>
#include <unistd.h>

#include <QCommandLineParser>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <fstream>
#include <optional>
#include <random>
#include <thread>

#include "app/controller_bridge.h"
#include "app/controller_command_line.h"
#include "app/controller_menu.h"
#include "control/control_targets.h"
#include "control/midi_input.h"
#include "control/osc_input.h"
#include "engine/shared_value.h"
#include "presets/preset_slot.h"
#include "tests/child_process.h"
#include "tests/dialog_fixture.h"
#include "tests/osc_packet.h"
#include "tests/scratch_dir.h"

namespace vz {
namespace {

class ControllerTest : public test::DialogFixture {
 protected:
  test::ScratchDir dir{"vz-controllers"};
  std::string mappingsPath = (dir / "videozarnix" / "midi-mappings").string();
  std::vector<bool> recordings, boxAllowed;
  std::unique_ptr<ControllerBridge> bridge;

  void startBridge(const ControllerOptions& options) {
    bridge.reset();
    bridge = std::make_unique<ControllerBridge>(
        *dialog, options,
        [this](bool on, bool mayShowBox) {
          recordings.push_back(on), boxAllowed.push_back(mayShowBox);
        },
        mappingsPath);
  }
  void TearDown() override { bridge.reset(); }
  // A look in slot `slot` that differs from the live one.
  void storeLook(int slot, int gainRed, int mode) {
    VideoEngine& e = engine();
    const auto live = std::pair(e.gainRed, e.mode);
    e.gainRed = gainRed, e.mode = static_cast<uint8_t>(mode);
    storeSlot(e, slot);
    std::tie(e.gainRed, e.mode) = live;
  }
  int slider(int id) { return ops().sliderPos(id); }
  bool checked(int id) { return ops().isDlgButtonChecked(id); }
};

// ---- OSC ----

TEST_F(ControllerTest, OscRecallsModesSlidersSwitchesAndFullScreen) {
  const int port = test::freeUdpPort();
  startBridge({false, port, "127.0.0.1", true});
  ASSERT_NE(bridge->osc(), nullptr);
  test::Udp osc(port);
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
  const int port = test::freeUdpPort();
  startBridge({false, port, "127.0.0.1", true});
  ASSERT_NE(bridge->osc(), nullptr);
  test::Udp osc(port);
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
  const int port = test::freeUdpPort();
  startBridge({false, port, "127.0.0.1", false});
  ASSERT_NE(bridge->osc(), nullptr);
  test::Udp osc(port);
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
  startBridge({false, taken.bindFreePort(), "127.0.0.1", false});
  EXPECT_EQ(bridge->osc(), nullptr);
}

TEST_F(ControllerTest, RequestsDuringAMessageBoxApplyButOpenNoSecondBox) {
  startBridge({false, 0, "", false});
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
  startBridge({false, 0, "", false});
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

// The options as the program reads them, through the shared option table; the values are
// checked by the same rules as every other option.
TEST_F(ControllerTest, OptionsJoinAQtCommandLine) {
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
      {{"--midi", "alsa"}, false, {}},
      {{"--osc-port", "65536"}, false, {}},
      {{"--osc-port", "12ab"}, false, {}},
      {{"--osc-port", "x"}, false, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.join(' ').toStdString());
    QCommandLineParser parser;
    addControllerOptions(parser);
    ASSERT_TRUE(parser.parse(QStringList{"videozarnix"} + c.args));
    ControllerOptions o;
    const Status read = readControllerOptions(parser, o);
    EXPECT_EQ(read.ok(), c.ok);
    EXPECT_EQ(read.message().empty(), c.ok);
    if (!c.ok) continue;
    EXPECT_EQ(std::tie(o.midi, o.oscPort, o.oscBind, o.verbose),
              std::tie(c.out.midi, c.out.oscPort, c.out.oscBind, c.out.verbose));
    EXPECT_EQ(parser.positionalArguments(), c.args.filter("clip"));
  }
}

// ---- MIDI ----

// A JACK server of the test's own, stopped by its process id whatever happens.
struct JackServer {
  std::string name = "vz-test-" + std::to_string(getpid());
  std::optional<test::Child> jackd;
  JackServer() {
    setenv("JACK_DEFAULT_SERVER", name.c_str(), 1);
    start();
  }
  void start() {
    jackd.emplace(std::vector<std::string>{"jackd", "--no-realtime", "-n", name, "-d", "dummy",
                                           "-r", "48000", "-p", "1024"});
  }
  // Gone as a crash takes it: no goodbye to its clients.
  void kill() {
    jackd->stop(SIGKILL);
    jackd.reset();
  }
  bool waitUntilRunning() {
    jack_set_error_function([](const char*) {});  // "cannot connect" until it is up
    jack_set_info_function([](const char*) {});
    for (int i = 0; jackd && jackd->started() && i < 100; ++i) {
      jack_status_t status{};
      if (jack_client_t* c = jack_client_open("vz-test-probe", JackNoStartServer, &status)) {
        jack_client_close(c);
        return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
  }
};

TEST_F(ControllerTest, MidiRecallsLearnsAndKeepsItsMappingsAcrossRestarts) {
  JackServer jack;
  ASSERT_TRUE(jack.waitUntilRunning());
  RtMidiOut keys(RtMidi::UNIX_JACK, "vz test keys");
  keys.openVirtualPort("out");
  auto send = [&](std::vector<unsigned char> bytes) { keys.sendMessage(&bytes); };
  // JACK activates a new connection on a later cycle, so the first message after a connect
  // may be lost: repeat it (both are idempotent) until it has taken effect.
  auto sendUntil = [&](std::vector<unsigned char> bytes, auto done) {
    for (int i = 0; i < 40 && !done(); ++i) {
      send(bytes);
      (void)QTest::qWaitFor(done, 250);
    }
    return done();
  };
  auto connect = [&] {
    startBridge({true, 0, "", false});
    ASSERT_NE(bridge->midi(), nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return bridge->midi()->connectedSources() >= 1; }, 10000));
  };
  connect();

  storeLook(4, 90, 1);
  ASSERT_TRUE(sendUntil({0xC5, 4}, [&] { return slider(kIdGainRed) == 90; }));  // any channel
  EXPECT_EQ(loadRelaxed(engine().gainRed), 90);
  EXPECT_TRUE(checked(kIdModeFirst + 1));
  send({0xC0, 26});  // no slot
  send({0xC0, 0});
  ASSERT_TRUE(QTest::qWaitFor([&] { return slider(kIdGainRed) == 0; }, 5000));

  // Learn: the user moves Gain blue, then a controller turns.
  bridge->setLearning(true);
  key(kIdGainBlue, Qt::Key_Right);
  send({0xB1, 20, 127});
  ASSERT_TRUE(QTest::qWaitFor([&] { return !bridge->learning(); }, 5000));
  ASSERT_EQ(bridge->mappings().all().size(), 1u);
  send({0xB1, 20, 0});
  ASSERT_TRUE(QTest::qWaitFor([&] { return slider(kIdGainBlue) == 0; }, 5000));
  send({0xB1, 20, 127});
  ASSERT_TRUE(QTest::qWaitFor([&] { return slider(kIdGainBlue) == 255; }, 5000));
  EXPECT_EQ(loadRelaxed(engine().gainBlue), 255);

  // Restart with a hand-edited range and inversion added to the saved file.
  bridge.reset();
  std::ofstream(mappingsPath, std::ios::app) << "2 21 tint/blue 100 200 invert\n";
  connect();
  ASSERT_EQ(bridge->mappings().all().size(), 2u);
  ASSERT_TRUE(sendUntil({0xB1, 21, 127}, [&] { return slider(kIdTintBlue) == 100; }));
  EXPECT_EQ(loadRelaxed(engine().tintBlue), 100);
  send({0xB1, 20, 0});
  ASSERT_TRUE(QTest::qWaitFor([&] { return slider(kIdGainBlue) == 0; }, 5000));
  bridge.reset();  // before the server goes
}

// The JACK server killed under a connected controller and started again: one line each way,
// and the controller plays again without anyone touching the program.
TEST_F(ControllerTest, MidiComesBackWithItsJackServer) {
  JackServer jack;
  ASSERT_TRUE(jack.waitUntilRunning());
  std::unique_ptr<RtMidiOut> keys;
  auto plugKeys = [&] {
    keys = std::make_unique<RtMidiOut>(RtMidi::UNIX_JACK, "vz test keys");
    keys->openVirtualPort("out");
  };
  // Repeated until taken: JACK activates a new connection on a later cycle.
  auto recall = [&](int slot, int gainRed) {
    for (int i = 0; i < 40 && slider(kIdGainRed) != gainRed; ++i) {
      std::vector<unsigned char> bytes{0xC0, static_cast<unsigned char>(slot)};
      keys->sendMessage(&bytes);
      (void)QTest::qWaitFor([&] { return slider(kIdGainRed) == gainRed; }, 250);
    }
    return slider(kIdGainRed) == gainRed;
  };
  storeLook(4, 90, 1);
  plugKeys();
  startBridge({true, 0, "", false});
  ASSERT_NE(bridge->midi(), nullptr);
  ASSERT_TRUE(QTest::qWaitFor([&] { return bridge->midi()->connectedSources() >= 1; }, 10000));
  ASSERT_TRUE(recall(4, 90));

  testing::internal::CaptureStderr();
  keys.reset();
  jack.kill();
  const bool lost = QTest::qWaitFor([&] { return !bridge->midi()->online(); }, 10000);
  jack.start();
  const bool restarted = jack.waitUntilRunning();
  const bool back = QTest::qWaitFor([&] { return bridge->midi()->online(); }, 20000);
  bool playing = false;
  if (back) {
    plugKeys();
    playing = QTest::qWaitFor([&] { return bridge->midi()->connectedSources() >= 1; }, 10000) &&
              recall(0, 0);
  }
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(lost) << said;
  ASSERT_TRUE(restarted);
  EXPECT_TRUE(back) << said;
  EXPECT_TRUE(playing) << said;
  auto count = [&](const std::string& what) {
    int n = 0;
    for (size_t at = said.find(what); at != std::string::npos; at = said.find(what, at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count("videozarnix: MIDI lost"), 1) << said;
  EXPECT_EQ(count("videozarnix: MIDI back"), 1) << said;
  keys.reset();
  bridge.reset();  // before the server goes
}

}  // namespace
}  // namespace vz
