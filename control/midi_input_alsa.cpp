// SPDX-License-Identifier: GPL-3.0-or-later
// MIDI both ways through the ALSA sequencer: one client with one port that reads and writes.
#include <alsa/asoundlib.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "control/midi_input.h"

namespace vz::midi_detail {

namespace {

constexpr unsigned kReadable = SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ;
constexpr unsigned kWritable = SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;

struct SeqPort {
  snd_seq_addr_t addr;
  std::string name;  // "client:port"
  unsigned caps;
};

class AlsaMidi final : public MidiInput {
 public:
  AlsaMidi(Sink sink, ClockSink clock)
      : sink_(std::move(sink)), clock_(std::move(clock)), stop_(::eventfd(0, EFD_CLOEXEC)) {}

  bool start() {
    // Non-blocking: a full output queue drops a message rather than holding the GUI thread.
    if (stop_ < 0 || snd_seq_open(&seq_, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK) < 0)
      return false;
    snd_seq_set_client_name(seq_, kClientName);
    port_ =
        snd_seq_create_simple_port(seq_, kClientName, kReadable | kWritable,
                                   SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    if (port_ < 0) return false;
    self_ = snd_seq_client_id(seq_);
    online_.store(true, std::memory_order_relaxed);
    thread_ = std::thread([this] { run(); });
    return true;
  }

  ~AlsaMidi() override {
    if (thread_.joinable()) {
      const uint64_t one = 1;
      [[maybe_unused]] const ssize_t n = ::write(stop_, &one, sizeof one);
      thread_.join();
    }
    if (seq_) snd_seq_close(seq_);
    if (stop_ >= 0) ::close(stop_);
  }

  int connectedSources() const override { return sources_.load(std::memory_order_relaxed); }
  int connectedDestinations() const override {
    return destinations_.load(std::memory_order_relaxed);
  }
  bool online() const override { return online_.load(std::memory_order_relaxed); }

  void send(const MidiMessage& m) override {
    snd_seq_event_t ev;
    snd_seq_ev_clear(&ev);
    snd_seq_ev_set_source(&ev, port_);
    snd_seq_ev_set_subs(&ev);
    snd_seq_ev_set_direct(&ev);
    if (m.kind() == kMidiProgramChange)
      snd_seq_ev_set_pgmchange(&ev, m.channel(), m.data1);
    else if (m.kind() == kMidiControlChange)
      snd_seq_ev_set_controller(&ev, m.channel(), m.data1, m.data2);
    else
      return;
    // Writes straight to the device, apart from the input's buffer on the reading thread.
    snd_seq_event_output_direct(seq_, &ev);
  }

 private:
  std::vector<SeqPort> listPorts() {
    std::vector<SeqPort> out;
    snd_seq_client_info_t* client;
    snd_seq_port_info_t* port;
    snd_seq_client_info_alloca(&client);
    snd_seq_port_info_alloca(&port);
    snd_seq_client_info_set_client(client, -1);
    while (snd_seq_query_next_client(seq_, client) >= 0) {
      const int id = snd_seq_client_info_get_client(client);
      if (id == SND_SEQ_CLIENT_SYSTEM || id == self_) continue;
      snd_seq_port_info_set_client(port, id);
      snd_seq_port_info_set_port(port, -1);
      while (snd_seq_query_next_port(seq_, port) >= 0) {
        const unsigned type = snd_seq_port_info_get_type(port);
        if ((type & (SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_SYNTH |
                     SND_SEQ_PORT_TYPE_APPLICATION)) == 0)
          continue;
        out.push_back({*snd_seq_port_info_get_addr(port),
                       std::string(snd_seq_client_info_get_name(client)) + ":" +
                           snd_seq_port_info_get_name(port),
                       snd_seq_port_info_get_capability(port)});
      }
    }
    return out;
  }

  bool subscribed(snd_seq_addr_t from, snd_seq_addr_t to) {
    snd_seq_port_subscribe_t* sub;
    snd_seq_port_subscribe_alloca(&sub);
    snd_seq_port_subscribe_set_sender(sub, &from);
    snd_seq_port_subscribe_set_dest(sub, &to);
    return snd_seq_get_port_subscription(seq_, sub) == 0;
  }

  static int key(snd_seq_addr_t a) { return a.client * 256 + a.port; }

  void refresh() {
    const snd_seq_addr_t ours{static_cast<unsigned char>(self_), static_cast<unsigned char>(port_)};
    const std::vector<SeqPort> ports = listPorts();
    std::set<int> present;
    for (const SeqPort& p : ports) present.insert(key(p.addr));
    std::erase_if(seen_, [&](int k) { return present.count(k) == 0; });
    std::erase_if(ours_, [&](int k) { return present.count(k) == 0; });
    std::erase_if(back_, [&](int k) { return present.count(k) == 0; });
    int sources = 0, destinations = 0;
    for (const SeqPort& p : ports) {
      const int k = key(p.addr);
      if ((p.caps & kReadable) == kReadable && wantedSource(p.name) && seen_.insert(k).second &&
          !subscribed(p.addr, ours) &&
          snd_seq_connect_from(seq_, port_, p.addr.client, p.addr.port) == 0)
        ours_.insert(k);
      // A device's port usually both reads and writes: the same port is its way back.
      if (ours_.count(k) != 0 && (p.caps & kWritable) == kWritable && back_.insert(k).second &&
          !subscribed(ours, p.addr))
        snd_seq_connect_to(seq_, port_, p.addr.client, p.addr.port);
      sources += subscribed(p.addr, ours);
      destinations += subscribed(ours, p.addr);
    }
    sources_.store(sources, std::memory_order_relaxed);
    destinations_.store(destinations, std::memory_order_relaxed);
  }

  void handle(const snd_seq_event_t& ev) {
    if (clock_) {
      uint8_t status = 0, low = 0, high = 0;
      switch (ev.type) {
        case SND_SEQ_EVENT_CLOCK:
          status = 0xF8;
          break;
        case SND_SEQ_EVENT_START:
          status = 0xFA;
          break;
        case SND_SEQ_EVENT_CONTINUE:
          status = 0xFB;
          break;
        case SND_SEQ_EVENT_STOP:
          status = 0xFC;
          break;
        case SND_SEQ_EVENT_SONGPOS:
          status = 0xF2;
          low = static_cast<uint8_t>(ev.data.control.value & 127);
          high = static_cast<uint8_t>((ev.data.control.value >> 7) & 127);
          break;
        default:
          break;
      }
      if (status != 0) return clock_(status, low, high, steadyNowNs());
    }
    std::optional<MidiMessage> m;
    if (ev.type == SND_SEQ_EVENT_CONTROLLER && ev.data.control.param < 128)
      m = MidiMessage{static_cast<uint8_t>(kMidiControlChange | (ev.data.control.channel & 15)),
                      static_cast<uint8_t>(ev.data.control.param),
                      static_cast<uint8_t>(ev.data.control.value & 127)};
    else if (ev.type == SND_SEQ_EVENT_PGMCHANGE)
      m = MidiMessage{static_cast<uint8_t>(kMidiProgramChange | (ev.data.control.channel & 15)),
                      static_cast<uint8_t>(ev.data.control.value & 127), 0};
    if (m)
      if (auto action = actionForMidi(*m)) sink_(*action);
  }

  void run() {
    const int count = snd_seq_poll_descriptors_count(seq_, POLLIN);
    std::vector<pollfd> fds(static_cast<size_t>(count) + 1);
    fds[0] = {stop_, POLLIN, 0};
    snd_seq_poll_descriptors(seq_, fds.data() + 1, static_cast<unsigned>(count), POLLIN);
    auto next = std::chrono::steady_clock::now();
    for (;;) {
      if (std::chrono::steady_clock::now() >= next) {
        refresh();
        next = std::chrono::steady_clock::now() + std::chrono::seconds(1);
      }
      const int rc = ::poll(fds.data(), fds.size(), 1000);
      if (rc < 0 && errno != EINTR) return;
      if (fds[0].revents != 0) return;
      snd_seq_event_t* ev = nullptr;
      while (snd_seq_event_input(seq_, &ev) >= 0 && ev != nullptr) handle(*ev);
    }
  }

  Sink sink_;
  ClockSink clock_;
  int stop_;
  snd_seq_t* seq_ = nullptr;
  int port_ = -1, self_ = -1;
  std::set<int> seen_, ours_, back_;  // the reading thread's
  std::atomic<bool> online_{false};
  std::atomic<int> sources_{0}, destinations_{0};
  std::thread thread_;
};

}  // namespace

std::unique_ptr<MidiInput> startAlsa(MidiInput::Sink sink, MidiInput::ClockSink clock) {
  auto midi = std::make_unique<AlsaMidi>(std::move(sink), std::move(clock));
  if (!midi->start()) return nullptr;
  return midi;
}

}  // namespace vz::midi_detail
