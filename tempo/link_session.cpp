// SPDX-License-Identifier: GPL-3.0-or-later
#include "tempo/link_session.h"

#include <ableton/Link.hpp>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

#include "tempo/tempo_clock.h"

namespace vz {
namespace {

constexpr double kQuantum = 4.0;                           // a bar: the phase every peer agrees on
constexpr double kLinkMinBpm = 20.0, kLinkMaxBpm = 999.0;  // what Link carries
// How far the clock may stray from the session before it is anchored anew. Well under the
// 2 ms two programs in one session may differ; each anchoring is one more snapshot for readers.
constexpr double kMaxDriftNs = 200'000.0;
constexpr auto kPollInterval = std::chrono::milliseconds(10);

}  // namespace

// Link's own clock on Linux is CLOCK_MONOTONIC_RAW; ours is steady_clock (CLOCK_MONOTONIC).
// Running Link on the latter puts its times straight onto our beat times with no conversion.
using SteadyLink = ableton::BasicLink<ableton::platforms::linux::ClockMonotonic>;

struct LinkSession::Impl {
  Impl(TempoClock& c, double bpm, std::atomic<int>& p) : clock(c), peers(p), link(bpm) {
    link.setNumPeersCallback([this](std::size_t n) {
      peers.store(static_cast<int>(n), std::memory_order_relaxed);
      clock.setPeers(static_cast<int>(n));
    });
    link.setTempoCallback([this](double) { poke(); });
    follower = std::thread([this] { follow(); });
    link.enable(true);
  }

  ~Impl() {
    link.enable(false);
    link.setNumPeersCallback([](std::size_t) {});
    link.setTempoCallback([](double) {});
    {
      std::lock_guard lock(mutex);
      quit = true;
    }
    wake.notify_all();
    follower.join();
    peers.store(0, std::memory_order_relaxed);
    clock.setPeers(0);
  }

  void poke() {
    {
      std::lock_guard lock(mutex);
      changed = true;
    }
    wake.notify_all();
  }

  // Polls as well as waking on tempo changes: the session's timeline also moves without a
  // tempo change (a peer joining with another phase, drift compensation).
  void follow() {
    std::unique_lock lock(mutex);
    while (!quit) {
      lock.unlock();
      syncClock();
      lock.lock();
      wake.wait_for(lock, kPollInterval, [this] { return quit || changed; });
      changed = false;
    }
  }

  void syncClock() {
    const std::chrono::microseconds now = link.clock().micros();
    const SteadyLink::SessionState session = link.captureAppSessionState();
    const double bpm = session.tempo();
    const double beat = session.beatAtTime(now, kQuantum);
    // Our beats count from zero up; a shift by whole bars keeps the shared phase.
    if (beat + beatOffset < 0) beatOffset += kQuantum * std::ceil(-(beat + beatOffset) / kQuantum);
    const std::int64_t nowNs = now.count() * 1000;
    const TempoState was = clock.read();
    if (was.running && std::abs(was.bpm - bpm) < 1e-6 &&
        std::abs(beatAt(was, nowNs) - (beat + beatOffset)) * 60e9 / bpm < kMaxDriftNs)
      return;
    const double next = std::ceil(beat);
    const std::chrono::microseconds at = session.timeAtBeat(next, kQuantum);
    clock.set(bpm, at.count() * 1000, next + beatOffset);
  }

  void propose(double bpm) {
    SteadyLink::SessionState session = link.captureAppSessionState();
    session.setTempo(bpm, link.clock().micros());
    link.commitAppSessionState(session);
    poke();
  }

  TempoClock& clock;
  std::atomic<int>& peers;
  std::mutex mutex;
  std::condition_variable wake;
  bool quit = false, changed = false;
  double beatOffset = 0;  // only the follower thread touches it
  std::thread follower;
  SteadyLink link;  // last: gone before anything its callbacks reach
};

LinkSession::LinkSession(TempoClock& clock) : clock_(clock) {}

LinkSession::~LinkSession() {
  stop();
}

Status LinkSession::start() {
  std::lock_guard lock(mutex_);
  if (impl_) return {};
  const TempoState now = clock_.read();
  const double bpm = now.running ? std::clamp(now.bpm, kLinkMinBpm, kLinkMaxBpm) : 120.0;
  try {
    impl_ = std::make_unique<Impl>(clock_, bpm, peers_);
  } catch (const std::exception& e) {
    return Status::failure(std::string("cannot join a Link session: ") + e.what());
  }
  return {};
}

void LinkSession::stop() {
  std::lock_guard lock(mutex_);
  impl_.reset();
}

bool LinkSession::running() const {
  std::lock_guard lock(mutex_);
  return impl_ != nullptr;
}

void LinkSession::proposeTempo(double bpm, std::int64_t) {
  if (!(bpm >= kLinkMinBpm && bpm <= kLinkMaxBpm)) return;
  std::lock_guard lock(mutex_);
  if (impl_) impl_->propose(bpm);
}

int LinkSession::peers() const {
  return peers_.load(std::memory_order_relaxed);
}

std::unique_ptr<TempoSource> makeLinkTempoSource(TempoClock& clock, const TempoSourceOptions&) {
  return std::make_unique<LinkSession>(clock);
}

}  // namespace vz
