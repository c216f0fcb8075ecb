// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A JACK server of the test's own, and controllers to plug into it. The server runs the dummy
// driver without realtime under a name of its own, which this process is pointed at
// (JACK_DEFAULT_SERVER); it is stopped by its process id whatever happens. It runs in sync
// mode: on a busy machine (or under a sanitizer) a cycle waits for clients that are late,
// where it would start the graph again and lose the messages on their way. CTest runs the
// tests that start one under the `jack` resource lock: two at a time starve each other.
#include <jack/jack.h>

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "tests/child_process.h"

namespace vz::test {

class PrivateJack {
 public:
  // period: frames per cycle at 48 kHz.
  explicit PrivateJack(int period = 1024);
  PrivateJack(const PrivateJack&) = delete;
  PrivateJack& operator=(const PrivateJack&) = delete;
  // Again under the same name, after kill().
  void start();
  // Gone as a crash takes it: no goodbye to its clients.
  void kill();
  // Polls until a client can open, for ten seconds at most.
  bool waitUntilRunning();

 private:
  std::string name_;
  int period_;
  std::optional<Child> jackd_;
};

// A controller with a way out and a way in (the motorised kind) as one JACK client. What is
// sent goes out on its next cycle; what comes in is kept. `cycle`, when given, is called on
// JACK's thread every cycle with the way out's buffer, to write more of its own.
class JackPads {
 public:
  using Cycle = std::function<void(void* out)>;
  explicit JackPads(const char* name, Cycle cycle = {});
  ~JackPads();
  JackPads(const JackPads&) = delete;
  JackPads& operator=(const JackPads&) = delete;

  bool ok() const { return client_ && in_ && out_; }
  jack_client_t* client() const { return client_; }
  void send(std::vector<uint8_t> bytes);
  std::vector<std::vector<uint8_t>> received();
  void clear();
  // Something has come that holds.
  bool hasReceived(const std::function<bool(const std::vector<uint8_t>&)>& match);
  bool hasReceived(const std::vector<uint8_t>& bytes);

 private:
  static int process(jack_nframes_t frames, void* self);
  Cycle cycle_;
  jack_client_t* client_ = nullptr;
  jack_port_t* in_ = nullptr;
  jack_port_t* out_ = nullptr;
  std::mutex mutex_;
  std::vector<std::vector<uint8_t>> outgoing_, received_;
};

}  // namespace vz::test
