// SPDX-License-Identifier: GPL-3.0-or-later
// The look flowing back from the real dialog as OSC, to sockets of the test's own on the
// loopback address (MIDI feedback: controller_test.cpp).
#include <QApplication>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>

#include "app/feedback_bridge.h"
#include "control/osc_input.h"
#include "tests/controller_fixture.h"

namespace vz {
namespace {

// A UDP socket of the test's on 127.0.0.1: it sends to the program and reads what comes.
struct Client : test::Udp {
  explicit Client(int to = 0) : Udp(to) {}
  int own = bindFreePort();
  int lastSenderPort = 0;
  int packets = 0;
  std::vector<std::string> got;
  std::string address() const { return "127.0.0.1:" + std::to_string(own); }
  // Whatever has come, read without waiting.
  void drain() {
    while (auto p = receive(&lastSenderPort))
      ++packets, test::readOscPacket(p->data(), p->size(), got);
  }
  bool has(const std::string& message) const {
    return std::find(got.begin(), got.end(), message) != got.end();
  }
  // Waits (the GUI thread turning meanwhile) until `message` has come.
  bool waitFor(const std::string& message, int ms = 5000) {
    return QTest::qWaitFor(
        [&] {
          drain();
          return has(message);
        },
        ms);
  }
  void clear() { drain(), got.clear(), packets = 0; }
};

class FeedbackTest : public test::ControllerFixture {
 protected:
  int itemCount() { return bridge->feedback().changes().size(); }
};

// ---- OSC ----

TEST_F(FeedbackTest, EveryRecallSendsTheWholeLookAndAMovedSliderOnlyItself) {
  Client tablet;
  startOsc({tablet.address()});
  tablet.port = oscPort;
  ASSERT_TRUE(tablet.waitFor("/videozarnix/mode s source")) << "the state at start";
  ASSERT_TRUE(tablet.waitFor("/videozarnix/recording i 0"));
  storeLook(5, 77, 1);
  storeLook(2, 33, 6);
  storeLook(3, 44, 3);

  struct {
    const char* cause;
    std::function<void()> recall;
    std::string letter, gain, mode;
  } recalls[] = {
      {"letter key", [&] { typeKey(Qt::Key_F); }, "F", "77", "overflow"},
      {"MIDI Program Change",
       [&] {
         bridge->queue().post({ControllerAction::Kind::MidiPc, 0, 2});
       },
       "C", "33", "emboss"},
      {"OSC", [&] { tablet.send("/videozarnix/preset", "s", "d"); }, "D", "44", "lut"},
  };
  for (const auto& r : recalls) {
    tablet.clear();
    r.recall();
    ASSERT_TRUE(tablet.waitFor("/videozarnix/preset s " + r.letter)) << r.cause;
    tablet.drain();
    EXPECT_TRUE(tablet.has("/videozarnix/gain/red i " + r.gain)) << r.cause;
    EXPECT_TRUE(tablet.has("/videozarnix/mode s " + r.mode)) << r.cause;
    EXPECT_EQ(static_cast<int>(tablet.got.size()), itemCount()) << r.cause << ": the whole look";
    EXPECT_LE(tablet.packets, 2) << r.cause << ": in bundles";
  }

  // A slider moved in the dialog: that control and nothing else.
  tablet.clear();
  key(kIdGainGreen, Qt::Key_Right);
  const int green = loadRelaxed(engine().gainGreen);
  ASSERT_TRUE(tablet.waitFor("/videozarnix/gain/green i " + std::to_string(green)));
  QTest::qWait(100);
  tablet.drain();
  EXPECT_EQ(tablet.got,
            std::vector<std::string>{"/videozarnix/gain/green i " + std::to_string(green)});
  // Full screen, also from a remote request.
  tablet.clear();
  tablet.send("/videozarnix/fullscreen", "i", 1);
  EXPECT_TRUE(tablet.waitFor("/videozarnix/fullscreen i 1"));
}

// Controls learned onto a tablet's own addresses hear their changes there too, in the form
// each address taught.
TEST_F(FeedbackTest, LearnedAddressesHearTheirControlsInTheirForm) {
  std::filesystem::create_directories(std::filesystem::path(mappingsPath).parent_path());
  std::ofstream(mappingsPath) << "/1/fader1 gain/red float\n/1/toggle1 mirror int\n";
  Client tablet;
  startOsc({tablet.address()});
  ASSERT_TRUE(tablet.waitFor("/videozarnix/mode s source"));
  tablet.clear();
  bridge->queue().post({ControllerAction::Kind::Slider, kIdGainRed, 51});
  ASSERT_TRUE(tablet.waitFor("/1/fader1 f 0.200000"));
  EXPECT_TRUE(tablet.has("/videozarnix/gain/red i 51"));
  bridge->queue().post({ControllerAction::Kind::Switch, kIdMirror, 1});
  EXPECT_TRUE(tablet.waitFor("/1/toggle1 i 1"));
}

TEST_F(FeedbackTest, AThousandChangesKeepToTheRateAndEndOnTheLastValue) {
  Client tablet;
  startOsc({tablet.address()});
  ASSERT_TRUE(tablet.waitFor("/videozarnix/mode s source"));
  tablet.clear();
  const auto began = std::chrono::steady_clock::now();
  for (int i = 1; i <= 1000; ++i) {
    bridge->queue().post({ControllerAction::Kind::Slider, kIdGainRed, i % 200});
    QTest::qWait(1);
  }
  ASSERT_TRUE(tablet.waitFor("/videozarnix/gain/red i " + std::to_string(1000 % 200)));
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  const auto sent = std::count_if(tablet.got.begin(), tablet.got.end(), [](const std::string& m) {
    return m.rfind("/videozarnix/gain/red ", 0) == 0;
  });
  // At most 60 a second over however long the run took, whatever the machine's speed.
  EXPECT_LE(sent, static_cast<long>(60 * (seconds + 1)));
  EXPECT_GE(sent, 2);
}

TEST_F(FeedbackTest, AnUnreachableTargetCostsOneVerboseLineAndNothingElse) {
  Client tablet;
  testing::internal::CaptureStderr();
  // Broadcast without permission: refused by the system at once, every time.
  startOsc({"255.255.255.255:9", tablet.address()}, true);
  const bool first = tablet.waitFor("/videozarnix/mode s source");
  for (int v = 1; v <= 5; ++v) {
    bridge->queue().post({ControllerAction::Kind::Slider, kIdGainBlue, v});
    tablet.waitFor("/videozarnix/gain/blue i " + std::to_string(v));
  }
  const bool last = tablet.has("/videozarnix/gain/blue i 5");
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(first && last) << said;
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
  EXPECT_NE(said.find("videozarnix: OSC feedback to 255.255.255.255:9 not sent"), std::string::npos)
      << said;
  EXPECT_GT(bridge->feedback().sender()->refused(), 0);
}

TEST_F(FeedbackTest, QueriesAreAnsweredAtTheSenderFromTheOscPort) {
  startOsc({}, true);
  Client asker(oscPort);
  engine().gainRed = 21;
  asker.send("/videozarnix/get", "s", "/videozarnix/gain/red");
  ASSERT_TRUE(asker.waitFor("/videozarnix/gain/red i 21"));
  EXPECT_EQ(asker.lastSenderPort, oscPort);
  asker.send("/videozarnix/get", "s", "mode");
  ASSERT_TRUE(asker.waitFor("/videozarnix/mode s source"));
  asker.clear();
  testing::internal::CaptureStderr();
  asker.send("/videozarnix/get", "s", "no/such");
  asker.send("/videozarnix/get", "");
  const bool whole = QTest::qWaitFor(
      [&] {
        asker.drain();
        return static_cast<int>(asker.got.size()) >= itemCount() - 1;  // no letter recalled yet
      },
      5000);
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(whole);
  EXPECT_EQ(static_cast<int>(asker.got.size()), itemCount() - 1);
  EXPECT_TRUE(asker.has("/videozarnix/gain/red i 21"));
  EXPECT_NE(said.find("/videozarnix/get: unknown address"), std::string::npos) << said;
}

TEST_F(FeedbackTest, SubscribersHearChangesUntilTheyUnsubscribe) {
  startOsc({});
  Client a(oscPort), b(oscPort);
  a.send("/videozarnix/subscribe", "");
  ASSERT_TRUE(a.waitFor("/videozarnix/mode s source")) << "a new subscriber hears the state";
  bridge->queue().post({ControllerAction::Kind::Slider, kIdGainRed, 8});
  ASSERT_TRUE(a.waitFor("/videozarnix/gain/red i 8"));
  a.send("/videozarnix/unsubscribe", "");
  a.send("/videozarnix/gain/red", "i", 9);
  // b asks after a's change: its answer comes after any feedback a would still have had.
  QTest::qWait(100);
  b.send("/videozarnix/get", "s", "gain/red");
  ASSERT_TRUE(b.waitFor("/videozarnix/gain/red i 9"));
  QTest::qWait(100);
  a.drain();
  EXPECT_FALSE(a.has("/videozarnix/gain/red i 9"));
}

// The bridge on its own with a clock of the test's: silence is counted by that clock.
TEST_F(FeedbackTest, ASubscriberSilentForTenMinutesIsDropped) {
  std::atomic<std::int64_t> now{1};
  MidiMappings none;
  const ControllerOptions options{false, 0, "", false};
  FeedbackBridge feedback(engine(), options, none, [&] { return now.load(); });
  Client a;
  const OscPeer peer = *resolveOscTarget(a.address());
  feedback.oscPacket(peer, {{OscRequest::Kind::Subscribe, ""}});
  ASSERT_TRUE(a.waitFor("/videozarnix/mode s source"));
  now += 9LL * 60'000'000'000;
  feedback.oscPacket(peer, {});  // any packet is a sign of life
  now += 9LL * 60'000'000'000;
  storeRelaxed(engine().gainRed, 3);
  feedback.tick();
  ASSERT_TRUE(a.waitFor("/videozarnix/gain/red i 3"));
  now += 10LL * 60'000'000'000;
  storeRelaxed(engine().gainRed, 4);
  feedback.tick();
  QTest::qWait(100);
  a.drain();
  EXPECT_FALSE(a.has("/videozarnix/gain/red i 4"));
}

}  // namespace
}  // namespace vz
