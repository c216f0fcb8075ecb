// SPDX-License-Identifier: GPL-3.0-or-later
// The look flowing back from the real dialog: OSC to sockets of the test's own on the
// loopback address, MIDI read back through a private JACK server.
#include <arpa/inet.h>
#include <jack/jack.h>
#include <jack/midiport.h>
#include <lo/lo.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QCommandLineParser>
#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <mutex>
#include <optional>
#include <thread>

#include "app/controller_bridge.h"
#include "app/feedback_bridge.h"
#include "app/feedback_command_line.h"
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

// "address type value" for every message of a packet, bundles opened.
void readPacket(const uint8_t* p, size_t size, std::vector<std::string>& out) {
  if (size >= 16 && std::memcmp(p, "#bundle", 8) == 0) {
    for (size_t at = 16; at + 4 <= size;) {
      uint32_t n;
      std::memcpy(&n, p + at, 4);
      n = ntohl(n);
      if (n > size - at - 4) return;
      readPacket(p + at + 4, n, out);
      at += 4 + n;
    }
    return;
  }
  std::vector<uint8_t> copy(p, p + size);
  int rc = 0;
  lo_message m = lo_message_deserialise(copy.data(), copy.size(), &rc);
  if (m == nullptr) return out.push_back("malformed");
  const char* types = lo_message_get_types(m);
  lo_arg* a = lo_message_get_argv(m)[0];
  const std::string v = types[0] == 'i'   ? std::to_string(a->i)
                        : types[0] == 'f' ? std::to_string(a->f)
                                          : std::string(&a->s);
  out.push_back(std::string(reinterpret_cast<const char*>(p)) + " " + types + " " + v);
  lo_message_free(m);
}

// A UDP socket of the test's on 127.0.0.1: it sends to the program and reads what comes.
struct Client {
  int fd = socket(AF_INET, SOCK_DGRAM, 0);
  int port = 0;
  int lastSenderPort = 0;
  int packets = 0;
  std::vector<std::string> got;
  Client() {
    sockaddr_in a{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t n = sizeof a;
    bind(fd, reinterpret_cast<sockaddr*>(&a), n);
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n);
    port = ntohs(a.sin_port);
    const int big = 1 << 22;
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &big, sizeof big);
  }
  ~Client() { close(fd); }
  std::string address() const { return "127.0.0.1:" + std::to_string(port); }
  template <class... Args>
  void send(int to, const char* path, const char* types, Args... args) {
    const std::vector<uint8_t> b = test::oscPacket(path, types, args...);
    sockaddr_in a{AF_INET, htons(static_cast<uint16_t>(to)), {htonl(INADDR_LOOPBACK)}, {}};
    sendto(fd, b.data(), b.size(), 0, reinterpret_cast<sockaddr*>(&a), sizeof a);
  }
  // Whatever has come, read without waiting.
  void drain() {
    uint8_t buffer[65536];
    for (;;) {
      sockaddr_in from{};
      socklen_t n = sizeof from;
      const ssize_t r =
          recvfrom(fd, buffer, sizeof buffer, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &n);
      if (r < 0) return;
      ++packets;
      lastSenderPort = ntohs(from.sin_port);
      readPacket(buffer, static_cast<size_t>(r), got);
    }
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

int freeUdpPort() {
  Client c;
  return c.port;  // closed again at once: free for the program
}

class FeedbackTest : public test::DialogFixture {
 protected:
  test::ScratchDir dir{"vz-feedback"};
  std::string mappingsPath = (dir / "videozarnix" / "midi-mappings").string();
  std::unique_ptr<ControllerBridge> bridge;
  int oscPort = 0;

  void start(ControllerOptions options) {
    bridge.reset();
    bridge = std::make_unique<ControllerBridge>(*dialog, options, nullptr, mappingsPath);
  }
  void startOsc(std::vector<std::string> targets, bool verbose = false) {
    oscPort = freeUdpPort();
    ControllerOptions o{false, oscPort, "127.0.0.1", verbose};
    o.feedback.oscTargets = std::move(targets);
    start(o);
    ASSERT_NE(bridge->osc(), nullptr);
  }
  void TearDown() override { bridge.reset(); }
  void storeLook(int slot, int gainRed, int mode) {
    VideoEngine& e = engine();
    const auto live = std::pair(e.gainRed, e.mode);
    e.gainRed = gainRed, e.mode = static_cast<uint8_t>(mode);
    storeSlot(e, slot);
    std::tie(e.gainRed, e.mode) = live;
  }
  int itemCount() { return bridge->feedback().changes().size(); }
};

// ---- OSC ----

TEST_F(FeedbackTest, EveryRecallSendsTheWholeLookAndAMovedSliderOnlyItself) {
  Client tablet;
  startOsc({tablet.address()});
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
      {"OSC", [&] { tablet.send(oscPort, "/videozarnix/preset", "s", "d"); }, "D", "44", "lut"},
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
  tablet.send(oscPort, "/videozarnix/fullscreen", "i", 1);
  EXPECT_TRUE(tablet.waitFor("/videozarnix/fullscreen i 1"));
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
  Client asker;
  engine().gainRed = 21;
  asker.send(oscPort, "/videozarnix/get", "s", "/videozarnix/gain/red");
  ASSERT_TRUE(asker.waitFor("/videozarnix/gain/red i 21"));
  EXPECT_EQ(asker.lastSenderPort, oscPort);
  asker.send(oscPort, "/videozarnix/get", "s", "mode");
  ASSERT_TRUE(asker.waitFor("/videozarnix/mode s source"));
  asker.clear();
  testing::internal::CaptureStderr();
  asker.send(oscPort, "/videozarnix/get", "s", "no/such");
  asker.send(oscPort, "/videozarnix/get", "");
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
  Client a, b;
  a.send(oscPort, "/videozarnix/subscribe", "");
  ASSERT_TRUE(a.waitFor("/videozarnix/mode s source")) << "a new subscriber hears the state";
  bridge->queue().post({ControllerAction::Kind::Slider, kIdGainRed, 8});
  ASSERT_TRUE(a.waitFor("/videozarnix/gain/red i 8"));
  a.send(oscPort, "/videozarnix/unsubscribe", "");
  a.send(oscPort, "/videozarnix/gain/red", "i", 9);
  // b asks after a's change: its answer comes after any feedback a would still have had.
  QTest::qWait(100);
  b.send(oscPort, "/videozarnix/get", "s", "gain/red");
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

TEST_F(FeedbackTest, CommandLineTakesTargetsAndTheMidiMode) {
  const struct {
    QStringList args;
    bool ok;
    std::vector<std::string> targets;
    MidiFeedbackMode midi;
  } cases[] = {
      {{}, true, {}, MidiFeedbackMode::All},
      {{"--osc-feedback", "127.0.0.1:9000", "--osc-feedback=tablet:8000"},
       true,
       {"127.0.0.1:9000", "tablet:8000"},
       MidiFeedbackMode::All},
      {{"--midi-feedback", "cc"}, true, {}, MidiFeedbackMode::Cc},
      {{"--midi-feedback", "off"}, true, {}, MidiFeedbackMode::Off},
      {{"--midi-feedback", "off", "--midi-feedback", "cc"}, false, {}, {}},
      {{"--midi-feedback", "loud"}, false, {}, {}},
      {{"--osc-feedback", "9000"}, false, {}, {}},
  };
  for (const auto& c : cases) {
    QCommandLineParser parser;
    addFeedbackOptions(parser);
    ASSERT_TRUE(parser.parse(QStringList{"videozarnix"} + c.args));
    FeedbackOptions o;
    const Status s = readFeedbackOptions(parser, o);
    EXPECT_EQ(s.ok(), c.ok) << c.args.join(' ').toStdString() << ": " << s.message();
    if (!c.ok) continue;
    EXPECT_EQ(o.oscTargets, c.targets);
    EXPECT_EQ(o.midi, c.midi);
  }
}

// ---- MIDI ----

// A JACK server of the test's own, stopped by its process id whatever happens.
struct JackServer {
  std::string name = "vz-feedback-" + std::to_string(getpid());
  std::optional<test::Child> jackd;
  JackServer() {
    setenv("JACK_DEFAULT_SERVER", name.c_str(), 1);
    jackd.emplace(std::vector<std::string>{"jackd", "--no-realtime", "-n", name, "-d", "dummy",
                                           "-r", "48000", "-p", "256"});
  }
  bool waitUntilRunning() {
    jack_set_error_function([](const char*) {});
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

// A controller with a way in and a way out (the motorised kind), as one JACK client.
class Pads {
 public:
  explicit Pads(const char* name) {
    jack_status_t status{};
    client_ = jack_client_open(name, JackNoStartServer, &status);
    if (!client_) return;
    out_ = jack_port_register(client_, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    in_ = jack_port_register(client_, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    jack_set_process_callback(client_, process, this);
    jack_activate(client_);
  }
  ~Pads() {
    if (client_) jack_client_close(client_);
  }
  bool ok() const { return client_ && in_ && out_; }
  jack_client_t* client() const { return client_; }
  void send(std::vector<uint8_t> bytes) {
    const std::lock_guard lock(mutex_);
    outgoing_.push_back(std::move(bytes));
  }
  std::vector<std::vector<uint8_t>> received() {
    const std::lock_guard lock(mutex_);
    return received_;
  }
  void clear() {
    const std::lock_guard lock(mutex_);
    received_.clear();
  }
  bool hasReceived(const std::vector<uint8_t>& bytes) {
    const auto r = received();
    return std::find(r.begin(), r.end(), bytes) != r.end();
  }

 private:
  static int process(jack_nframes_t frames, void* self) {
    auto* p = static_cast<Pads*>(self);
    void* in = jack_port_get_buffer(p->in_, frames);
    void* out = jack_port_get_buffer(p->out_, frames);
    jack_midi_clear_buffer(out);
    const std::lock_guard lock(p->mutex_);  // no real-time server: a test may take a lock
    for (uint32_t i = 0, n = jack_midi_get_event_count(in); i < n; ++i) {
      jack_midi_event_t e;
      if (jack_midi_event_get(&e, in, i) == 0)
        p->received_.emplace_back(e.buffer, e.buffer + e.size);
    }
    for (const auto& b : p->outgoing_) jack_midi_event_write(out, 0, b.data(), b.size());
    p->outgoing_.clear();
    return 0;
  }
  jack_client_t* client_ = nullptr;
  jack_port_t* in_ = nullptr;
  jack_port_t* out_ = nullptr;
  std::mutex mutex_;
  std::vector<std::vector<uint8_t>> outgoing_, received_;
};

TEST_F(FeedbackTest, MidiControllersFollowTheLookWithoutEcho) {
  JackServer jack;
  ASSERT_TRUE(jack.waitUntilRunning());
  std::filesystem::create_directories(dir / "videozarnix");
  std::ofstream(mappingsPath) << "# the pads\n1 20 gain/blue 0 255  # big knob\n"
                                 "2 21 tint/blue 100 200 invert\n";
  Pads pads("vz test pads");
  ASSERT_TRUE(pads.ok());
  start({true, 0, "", false});
  ASSERT_NE(bridge->midi(), nullptr);
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

  // A recall by Program Change: every mapped controller follows, scaled into its range and
  // turned round where the mapping is; that Program Change is not sent back.
  engine().gainBlue = 0;
  engine().tintBlue = 0;
  VideoEngine& e = engine();
  e.gainBlue = 255, e.tintBlue = 125;
  storeSlot(e, 4);
  e.gainBlue = 0, e.tintBlue = 0;
  bridge->feedback().tick();
  pads.clear();
  // JACK activates a new connection on a later cycle: repeat until taken.
  for (int i = 0; i < 40 && loadRelaxed(e.gainBlue) != 255; ++i) {
    pads.send({0xC3, 4});
    (void)QTest::qWaitFor([&] { return loadRelaxed(e.gainBlue) == 255; }, 250);
  }
  ASSERT_EQ(loadRelaxed(e.gainBlue), 255);
  ASSERT_TRUE(QTest::qWaitFor([&] { return pads.hasReceived({0xB1, 21, 95}); }, 5000));
  EXPECT_TRUE(pads.hasReceived({0xB0, 20, 127}));
  QTest::qWait(200);
  for (const auto& m : pads.received()) EXPECT_NE(m[0] & 0xF0, 0xC0) << "no Program Change echo";

  // Recalled from elsewhere (a letter key): the Program Change goes out too.
  pads.clear();
  typeKey(Qt::Key_E);
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        return pads.hasReceived({0xC3, 4});
      },
      5000))
      << "on the channel the pads recall on";

  // The knob turned: Gain blue follows; nothing goes back to the knob, while a change from
  // the dialog does.
  pads.clear();
  pads.send({0xB0, 20, 64});
  ASSERT_TRUE(QTest::qWaitFor([&] { return loadRelaxed(e.gainBlue) == 129; }, 5000));
  key(kIdTintBlue, Qt::Key_Right);
  const int tint = loadRelaxed(e.tintBlue);
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        for (const auto& m : pads.received())
          if (m.size() == 3 && m[0] == 0xB1 && m[1] == 21) return true;
        return false;
      },
      5000))
      << tint;
  for (const auto& m : pads.received()) EXPECT_FALSE(m.size() == 3 && m[1] == 20) << int(m[2]);
  pads.clear();
  key(kIdGainBlue, Qt::Key_Left);
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        for (const auto& m : pads.received())
          if (m.size() == 3 && m[0] == 0xB0 && m[1] == 20) return true;
        return false;
      },
      5000));

  // Learning: the user moves Gain red, the pads' fader 30 completes it, and its value counts.
  bridge->setLearning(true);
  key(kIdGainRed, Qt::Key_Right);
  pads.send({0xB0, 30, 127});
  ASSERT_TRUE(QTest::qWaitFor([&] { return !bridge->learning(); }, 5000));
  EXPECT_TRUE(QTest::qWaitFor([&] { return loadRelaxed(e.gainRed) == 255; }, 5000));

  // The file kept the user's comments beside the learned line.
  std::ifstream in(mappingsPath);
  const std::string text((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(text,
            "# the pads\n1 20 gain/blue 0 255  # big knob\n2 21 tint/blue 100 200 invert\n"
            "1 30 gain/red 0 255\n");
  bridge.reset();  // before the server goes
}

TEST_F(FeedbackTest, AControllerConnectedByHandIsLeftAsItIs) {
  JackServer jack;
  ASSERT_TRUE(jack.waitUntilRunning());
  Pads pads("vz test hand");
  ASSERT_TRUE(pads.ok());
  start({true, 0, "", false});
  ASSERT_NE(bridge->midi(), nullptr);
  // Connected by hand before the program's first look at the ports, or after it: either way
  // one connection, and the way back is left to the user.
  jack_connect(pads.client(), "vz test hand:out", "Video Zarnix:Video Zarnix");
  ASSERT_TRUE(QTest::qWaitFor([&] { return bridge->midi()->connectedSources() >= 1; }, 10000));
  QTest::qWait(2500);  // two more looks at the ports
  EXPECT_EQ(bridge->midi()->connectedSources(), 1);
  EXPECT_EQ(bridge->midi()->connectedDestinations(), 0);
  for (int i = 0; i < 40 && loadRelaxed(engine().mode) != 2; ++i) {
    pads.send({0xB0, 1, 0});  // unmapped: ignored
    bridge->queue().post({ControllerAction::Kind::Mode, 0, 2});
    (void)QTest::qWaitFor([&] { return loadRelaxed(engine().mode) == 2; }, 250);
  }
  bridge.reset();
}

}  // namespace
}  // namespace vz
