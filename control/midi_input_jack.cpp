// SPDX-License-Identifier: GPL-3.0-or-later
// MIDI both ways through a JACK server: one client, an input and an output port.
#include <jack/jack.h>
#include <jack/midiport.h>
#include <jack/ringbuffer.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "control/midi_input.h"

namespace vz::midi_detail {

namespace {

void quietJack(const char*) {}

constexpr const char* kOutPortName = "Video Zarnix out";

// The port names JACK lists, freed as JACK wants.
std::vector<std::string> listPorts(jack_client_t* client, unsigned long flags) {
  std::vector<std::string> out;
  const char** names = jack_get_ports(client, nullptr, JACK_DEFAULT_MIDI_TYPE, flags);
  for (const char** n = names; n && *n; ++n) out.emplace_back(*n);
  if (names) jack_free(names);
  return out;
}

std::string clientOf(const std::string& port) {
  return port.substr(0, port.find(':'));
}

// The controller's own inputs for one of its outputs: a "capture" port's "playback" twin,
// else every input of the same client, but not for the clients that stand for many devices.
std::vector<std::string> counterparts(const std::string& source,
                                      const std::vector<std::string>& inputs) {
  std::vector<std::string> out;
  if (const size_t at = source.find("capture"); at != std::string::npos) {
    std::string twin = source;
    twin.replace(at, 7, "playback");
    for (const std::string& in : inputs)
      if (in == twin) out.push_back(in);
    return out;
  }
  const std::string client = clientOf(source);
  if (client == "system" || client == "a2j") return out;
  for (const std::string& in : inputs)
    if (clientOf(in) == client) out.push_back(in);
  return out;
}

class JackMidi final : public MidiInput {
 public:
  JackMidi(Sink sink, ClockSink clock)
      : sink_(std::move(sink)), clock_(std::move(clock)), queue_(jack_ringbuffer_create(4096)) {}

  bool start() {
    if (queue_ == nullptr || !open()) return false;
    poller_ = std::thread([this] { pollPorts(); });
    return true;
  }

  ~JackMidi() override {
    {
      const std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    if (poller_.joinable()) poller_.join();
    close();
    if (queue_) jack_ringbuffer_free(queue_);
  }

  int connectedSources() const override { return sources_.load(std::memory_order_relaxed); }
  int connectedDestinations() const override {
    return destinations_.load(std::memory_order_relaxed);
  }
  bool online() const override { return online_.load(std::memory_order_relaxed); }

  void send(const MidiMessage& m) override {
    // Nothing waits for a server that is gone: once back, the controllers get the whole look
    // (the feedback sees them connect), never a backlog of stale moves.
    if (!online_.load(std::memory_order_relaxed) || serverGone_.load(std::memory_order_relaxed))
      return;
    // The GUI thread is the queue's one writer, the process callback its one reader.
    const char bytes[3] = {static_cast<char>(m.status), static_cast<char>(m.data1),
                           static_cast<char>(m.data2)};
    if (jack_ringbuffer_write_space(queue_) >= sizeof bytes)
      jack_ringbuffer_write(queue_, bytes, sizeof bytes);
  }

 private:
  bool open() {
    jack_set_error_function(quietJack);
    jack_set_info_function(quietJack);
    serverGone_.store(false, std::memory_order_relaxed);
    jack_status_t status{};
    client_ = jack_client_open(kClientName, JackNoStartServer, &status);
    if (client_ == nullptr) return false;
    in_ = jack_port_register(client_, kClientName, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    out_ = jack_port_register(client_, kOutPortName, JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    jack_on_shutdown(client_, onShutdown, this);
    fresh_.store(true, std::memory_order_relaxed);
    if (in_ == nullptr || out_ == nullptr ||
        jack_set_process_callback(client_, process, this) != 0 || jack_activate(client_) != 0) {
      close();
      return false;
    }
    online_.store(true, std::memory_order_relaxed);
    return true;
  }

  void close() {
    online_.store(false, std::memory_order_relaxed);
    if (client_ != nullptr) jack_client_close(client_);
    client_ = nullptr;
    in_ = out_ = nullptr;
    seen_.clear(), ours_.clear(), back_.clear();
    sources_.store(0, std::memory_order_relaxed);
    destinations_.store(0, std::memory_order_relaxed);
  }

  // JACK's process thread: what came in to the sink, what waits to go out into the port.
  static int process(jack_nframes_t frames, void* self) {
    auto* s = static_cast<JackMidi*>(self);
    void* in = jack_port_get_buffer(s->in_, frames);
    const uint32_t count = jack_midi_get_event_count(in);
    for (uint32_t i = 0; i < count; ++i) {
      jack_midi_event_t event;
      if (jack_midi_event_get(&event, in, i) != 0) continue;
      if (event.size > 0 && isClockStatus(event.buffer[0]) && s->clock_)
        s->clock_(event.buffer[0], event.size > 1 ? event.buffer[1] : 0,
                  event.size > 2 ? event.buffer[2] : 0, steadyNowNs());
      for (size_t b = 0; b < event.size; ++b)
        if (auto m = s->parser_.feed(event.buffer[b]))
          if (auto action = actionForMidi(*m)) s->sink_(*action);
    }
    void* out = jack_port_get_buffer(s->out_, frames);
    jack_midi_clear_buffer(out);
    // What was queued while the server went away (before the poller saw it) is stale now.
    if (s->fresh_.exchange(false, std::memory_order_relaxed))
      jack_ringbuffer_read_advance(s->queue_, jack_ringbuffer_read_space(s->queue_));
    unsigned char bytes[3];
    while (jack_ringbuffer_read_space(s->queue_) >= sizeof bytes) {
      jack_ringbuffer_peek(s->queue_, reinterpret_cast<char*>(bytes), sizeof bytes);
      const size_t size = (bytes[0] & 0xF0) == kMidiProgramChange ? 2 : 3;
      // A full port buffer keeps this message and the rest for the next cycle.
      if (jack_midi_event_write(out, 0, bytes, size) != 0) break;
      jack_ringbuffer_read_advance(s->queue_, sizeof bytes);
    }
    return 0;
  }

  // A JACK thread, as the server goes: nothing but a flag here.
  static void onShutdown(void* self) {
    static_cast<JackMidi*>(self)->serverGone_.store(true, std::memory_order_relaxed);
  }

  void refresh() {
    const std::string inName = jack_port_name(in_), outName = jack_port_name(out_);
    const std::vector<std::string> sources = listPorts(client_, JackPortIsOutput);
    const std::vector<std::string> inputs = listPorts(client_, JackPortIsInput);
    auto gone = [](const std::vector<std::string>& names) {
      return [&names](const std::string& n) {
        return std::find(names.begin(), names.end(), n) == names.end();
      };
    };
    std::erase_if(seen_, gone(sources));
    std::erase_if(ours_, gone(sources));
    std::erase_if(back_, gone(inputs));
    for (const std::string& source : sources) {
      if (!wantedSource(source) || seen_.count(source) != 0) continue;
      seen_.insert(source);
      // Connected by hand already: the user's, and not ours to connect back.
      if (jack_port_connected_to(in_, source.c_str())) continue;
      if (jack_connect(client_, source.c_str(), inName.c_str()) == 0) ours_.insert(source);
    }
    for (const std::string& source : ours_)
      for (const std::string& dest : counterparts(source, inputs)) {
        if (back_.count(dest) != 0) continue;
        back_.insert(dest);  // once: a connection the user takes away stays away
        if (!jack_port_connected_to(out_, dest.c_str()))
          jack_connect(client_, outName.c_str(), dest.c_str());
      }
    sources_.store(jack_port_connected(in_), std::memory_order_relaxed);
    destinations_.store(jack_port_connected(out_), std::memory_order_relaxed);
  }

  void pollPorts() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
      lock.unlock();
      if (online_.load(std::memory_order_relaxed) && serverGone_.load(std::memory_order_relaxed)) {
        close();
        std::fprintf(stderr,
                     "videozarnix: MIDI lost: the JACK server went away (MIDI comes back when "
                     "it does)\n");
      }
      if (!online_.load(std::memory_order_relaxed) && jackServerRunning() && open())
        std::fprintf(stderr, "videozarnix: MIDI back: the JACK server is there again\n");
      if (online_.load(std::memory_order_relaxed)) refresh();
      lock.lock();
      wake_.wait_for(lock, std::chrono::seconds(1), [this] { return stopping_; });
    }
  }

  Sink sink_;
  ClockSink clock_;
  MidiParser parser_;  // process thread
  jack_ringbuffer_t* queue_;
  jack_client_t* client_ = nullptr;  // poller thread, once it runs
  jack_port_t* in_ = nullptr;
  jack_port_t* out_ = nullptr;
  std::set<std::string> seen_, ours_, back_;  // poller thread
  std::atomic<bool> serverGone_{false};
  std::atomic<bool> fresh_{false};  // a new client: its first cycle drops the queue
  std::atomic<bool> online_{false};
  std::atomic<int> sources_{0}, destinations_{0};
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::thread poller_;
};

}  // namespace

bool jackServerRunning() {
  jack_set_error_function(quietJack);
  jack_set_info_function(quietJack);
  jack_status_t status{};
  jack_client_t* probe = jack_client_open("Video Zarnix probe", JackNoStartServer, &status);
  if (probe == nullptr) return false;
  jack_client_close(probe);
  return true;
}

std::unique_ptr<MidiInput> startJack(MidiInput::Sink sink, MidiInput::ClockSink clock) {
  auto midi = std::make_unique<JackMidi>(std::move(sink), std::move(clock));
  if (!midi->start()) return nullptr;
  return midi;
}

}  // namespace vz::midi_detail
