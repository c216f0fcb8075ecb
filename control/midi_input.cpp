// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/midi_input.h"

#include <jack/jack.h>
#include <rtmidi/RtMidi.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "control/midi_parser.h"

namespace vz {

namespace {

constexpr const char* kClientName = "Video Zarnix";

// One open input: its own parser, since running status belongs to one source.
struct Connection {
  MidiInput::Sink* sink = nullptr;
  MidiInput::ClockSink* clock = nullptr;
  MidiParser parser;
  std::unique_ptr<RtMidiIn> in;
};

void onMidi(double, std::vector<unsigned char>* bytes, void* user) {
  auto* c = static_cast<Connection*>(user);
  const unsigned char status = bytes->empty() ? 0 : (*bytes)[0];
  if (status == 0xF8 || status == 0xFA || status == 0xFB || status == 0xFC || status == 0xF2) {
    if (*c->clock) {
      const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                          std::chrono::steady_clock::now().time_since_epoch())
                          .count();
      (*c->clock)(status, bytes->size() > 1 ? (*bytes)[1] : 0, bytes->size() > 2 ? (*bytes)[2] : 0,
                  ns);
    }
    return;
  }
  for (unsigned char b : *bytes)
    if (auto m = c->parser.feed(b))
      if (auto action = actionForMidi(*m)) (*c->sink)(*action);
}

// RtMidi's failures come here instead of being thrown or printed.
void onRtMidiError(RtMidiError::Type, const std::string&, void* user) {
  static_cast<std::atomic<bool>*>(user)->store(true);
}

void quietJack(const char*) {}

bool jackServerRunning() {
  jack_set_error_function(quietJack);
  jack_set_info_function(quietJack);
  jack_status_t status{};
  jack_client_t* probe = jack_client_open("Video Zarnix probe", JackNoStartServer, &status);
  if (probe == nullptr) return false;
  jack_client_close(probe);
  return true;
}

bool hasApi(RtMidi::Api api) {
  std::vector<RtMidi::Api> apis;
  RtMidi::getCompiledApi(apis);
  for (RtMidi::Api a : apis)
    if (a == api) return true;
  return false;
}

std::unique_ptr<Connection> openInput(RtMidi::Api api, MidiInput::Sink* sink,
                                      MidiInput::ClockSink* clock, int port) {
  auto c = std::make_unique<Connection>();
  c->sink = sink;
  c->clock = clock;
  std::atomic<bool> failed{false};
  try {
    c->in = std::make_unique<RtMidiIn>(api, kClientName);
    c->in->setErrorCallback(onRtMidiError, &failed);
    c->in->setCallback(onMidi, c.get());
    c->in->ignoreTypes(true, false, true);  // clock and transport are the tempo's
    if (port < 0)
      c->in->openVirtualPort(kClientName);
    else
      c->in->openPort(static_cast<unsigned>(port), kClientName);
  } catch (const RtMidiError&) {
    return nullptr;
  }
  // The error callback must not outlive `failed`. (A virtual port never reports itself
  // open: only the errors tell.)
  c->in->setErrorCallback(nullptr, nullptr);
  if (failed || (port >= 0 && !c->in->isPortOpen())) return nullptr;
  return c;
}

class RtMidiInput final : public MidiInput {
 public:
  RtMidiInput(RtMidi::Api api, Sink sink, ClockSink clock)
      : api_(api), sink_(std::move(sink)), clock_(std::move(clock)) {}

  bool openVirtual() {
    if (!open()) return false;
    poller_ = std::thread([this] { pollPorts(); });
    return true;
  }

  ~RtMidiInput() override {
    {
      const std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    if (poller_.joinable()) poller_.join();
    close();
  }

  int connectedSources() const override { return connected_.load(std::memory_order_relaxed); }
  bool online() const override { return online_.load(std::memory_order_relaxed); }

 private:
  static bool wanted(const std::string& name) {
    return name.find("Midi Through") == std::string::npos && name.rfind(kClientName, 0) != 0;
  }

  void refresh() {
    std::vector<std::string> names;
    RtMidiIn& lister = *virtual_->in;
    const unsigned count = lister.getPortCount();
    for (unsigned i = 0; i < count; ++i) names.push_back(lister.getPortName(i));
    std::erase_if(sources_, [&](const auto& entry) {
      return std::find(names.begin(), names.end(), entry.first) == names.end();
    });
    for (unsigned i = 0; i < names.size(); ++i) {
      if (!wanted(names[i]) || sources_.count(names[i]) != 0) continue;
      if (auto c = openInput(api_, &sink_, &clock_, static_cast<int>(i)))
        sources_.emplace(names[i], std::move(c));
    }
    connected_.store(static_cast<int>(sources_.size()), std::memory_order_relaxed);
  }

  // The virtual port, and on JACK a client of our own that hears the server go (RtMidi's
  // ports do not: they would stay dead for the rest of the run).
  bool open() {
    if (api_ == RtMidi::UNIX_JACK) {
      serverGone_.store(false, std::memory_order_relaxed);
      jack_status_t status{};
      watch_ = jack_client_open("Video Zarnix watch", JackNoStartServer, &status);
      if (watch_ == nullptr) return false;
      jack_on_shutdown(watch_, onJackShutdown, this);
      if (jack_activate(watch_) != 0) {
        close();
        return false;
      }
    }
    virtual_ = openInput(api_, &sink_, &clock_, -1);
    if (!virtual_) {
      close();
      return false;
    }
    virtual_->in->setErrorCallback(onRtMidiError, &listFailed_);
    online_.store(true, std::memory_order_relaxed);
    return true;
  }

  void close() {
    online_.store(false, std::memory_order_relaxed);
    sources_.clear();  // each closes its port and stops its thread
    virtual_.reset();
    if (watch_ != nullptr) jack_client_close(watch_);
    watch_ = nullptr;
    connected_.store(0, std::memory_order_relaxed);
  }

  // A JACK thread, as the server goes: nothing but a flag here.
  static void onJackShutdown(void* self) {
    static_cast<RtMidiInput*>(self)->serverGone_.store(true, std::memory_order_relaxed);
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
      if (!online_.load(std::memory_order_relaxed) && api_ == RtMidi::UNIX_JACK &&
          jackServerRunning() && open())
        std::fprintf(stderr, "videozarnix: MIDI back: the JACK server is there again\n");
      if (online_.load(std::memory_order_relaxed)) refresh();
      lock.lock();
      wake_.wait_for(lock, std::chrono::seconds(1), [this] { return stopping_; });
    }
  }

  RtMidi::Api api_;
  Sink sink_;
  ClockSink clock_;
  std::unique_ptr<Connection> virtual_;  // poller thread, once it runs
  jack_client_t* watch_ = nullptr;       // likewise
  std::atomic<bool> serverGone_{false};
  std::atomic<bool> online_{false};
  std::map<std::string, std::unique_ptr<Connection>> sources_;  // poller thread only
  std::atomic<bool> listFailed_{false};
  std::atomic<int> connected_{0};
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::thread poller_;
};

}  // namespace

std::unique_ptr<MidiInput> MidiInput::start(Sink sink, std::string* error, ClockSink clock) {
  RtMidi::Api api = RtMidi::UNSPECIFIED;
  if (hasApi(RtMidi::LINUX_ALSA) && ::access("/dev/snd/seq", R_OK | W_OK) == 0)
    api = RtMidi::LINUX_ALSA;
  else if (hasApi(RtMidi::UNIX_JACK) && jackServerRunning())
    api = RtMidi::UNIX_JACK;
  if (api == RtMidi::UNSPECIFIED) {
    *error = "no ALSA sequencer and no JACK server";
    return nullptr;
  }
  auto input = std::make_unique<RtMidiInput>(api, std::move(sink), std::move(clock));
  if (!input->openVirtual()) {
    *error = std::string("cannot open the ") + (api == RtMidi::LINUX_ALSA ? "ALSA" : "JACK") +
             " MIDI port";
    return nullptr;
  }
  return input;
}

}  // namespace vz
