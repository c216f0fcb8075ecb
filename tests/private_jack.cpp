// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/private_jack.h"

#include <jack/midiport.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace vz::test {

PrivateJack::PrivateJack(int period)
    : name_("vz-test-" + std::to_string(getpid())), period_(period) {
  setenv("JACK_DEFAULT_SERVER", name_.c_str(), 1);
  start();
}

void PrivateJack::start() {
  jackd_.emplace(std::vector<std::string>{"jackd", "--sync", "--no-realtime", "-n", name_, "-d",
                                          "dummy", "-r", "48000", "-p", std::to_string(period_)});
}

void PrivateJack::kill() {
  jackd_->stop(SIGKILL);
  jackd_.reset();
}

bool PrivateJack::waitUntilRunning() {
  jack_set_error_function([](const char*) {});  // "cannot connect" until it is up
  jack_set_info_function([](const char*) {});
  for (int i = 0; jackd_ && jackd_->started() && i < 100; ++i) {
    jack_status_t status{};
    if (jack_client_t* c = jack_client_open("vz-test-probe", JackNoStartServer, &status)) {
      jack_client_close(c);
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

JackPads::JackPads(const char* name, Cycle cycle) : cycle_(std::move(cycle)) {
  jack_status_t status{};
  client_ = jack_client_open(name, JackNoStartServer, &status);
  if (!client_) return;
  out_ = jack_port_register(client_, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
  in_ = jack_port_register(client_, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
  jack_set_process_callback(client_, process, this);
  jack_activate(client_);
}

JackPads::~JackPads() {
  if (client_) jack_client_close(client_);
}

void JackPads::send(std::vector<uint8_t> bytes) {
  const std::lock_guard lock(mutex_);
  outgoing_.push_back(std::move(bytes));
}

std::vector<std::vector<uint8_t>> JackPads::received() {
  const std::lock_guard lock(mutex_);
  return received_;
}

void JackPads::clear() {
  const std::lock_guard lock(mutex_);
  received_.clear();
}

bool JackPads::hasReceived(const std::function<bool(const std::vector<uint8_t>&)>& match) {
  const auto r = received();
  return std::any_of(r.begin(), r.end(), match);
}

bool JackPads::hasReceived(const std::vector<uint8_t>& bytes) {
  return hasReceived([&](const std::vector<uint8_t>& m) { return m == bytes; });
}

int JackPads::process(jack_nframes_t frames, void* self) {
  auto* p = static_cast<JackPads*>(self);
  void* in = jack_port_get_buffer(p->in_, frames);
  void* out = jack_port_get_buffer(p->out_, frames);
  jack_midi_clear_buffer(out);
  if (p->cycle_) p->cycle_(out);
  const std::lock_guard lock(p->mutex_);  // no realtime server: a test may take a lock
  for (uint32_t i = 0, n = jack_midi_get_event_count(in); i < n; ++i) {
    jack_midi_event_t e;
    if (jack_midi_event_get(&e, in, i) == 0) p->received_.emplace_back(e.buffer, e.buffer + e.size);
  }
  for (const auto& b : p->outgoing_) jack_midi_event_write(out, 0, b.data(), b.size());
  p->outgoing_.clear();
  return 0;
}

}  // namespace vz::test
