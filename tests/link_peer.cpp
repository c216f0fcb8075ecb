// SPDX-License-Identifier: GPL-3.0-or-later
// Programs in a Link session, run only inside a private network namespace; each prints its
// view every few milliseconds.
//   link_peer peer BPM CHANGE_AFTER_MS NEW_BPM RUN_MS: another program, built from the same
//     Link headers: starts the session at BPM and changes it to NEW_BPM some time after it
//     first sees a peer ("beat NS BPM BEAT PEERS", "changed NS BPM").
//   link_peer probe RUN_MS [TAPPED_BPM]: this program's Link source on its own, printing the
//     tempo clock it keeps ("clock NOW_NS BPM ANCHOR_NS ANCHOR_BEAT PEERS"); with TAPPED_BPM,
//     proposes that tempo (as a tap would) after the first peer is seen.
#include <ableton/Link.hpp>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "tempo/link_session.h"
#include "tempo/tempo_clock.h"

namespace {

using Clock = std::chrono::steady_clock;

// Calls step every 5 ms for runMs, flushing what it printed.
template <typename Step>
void every5ms(const char* runMs, Step step) {
  const auto end = Clock::now() + std::chrono::milliseconds(std::atoi(runMs));
  while (Clock::now() < end) {
    step();
    std::fflush(stdout);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

int peer(double bpm, std::chrono::milliseconds changeAfter, double newBpm, const char* runMs) {
  ableton::BasicLink<ableton::platforms::linux::ClockMonotonic> link(bpm);
  link.enable(true);
  Clock::time_point sawPeer{};
  bool changed = false;
  every5ms(runMs, [&] {
    if (sawPeer == Clock::time_point{} && link.numPeers() > 0) sawPeer = Clock::now();
    const auto now = link.clock().micros();
    auto session = link.captureAppSessionState();
    if (!changed && sawPeer != Clock::time_point{} && Clock::now() - sawPeer > changeAfter) {
      session.setTempo(newBpm, now);
      link.commitAppSessionState(session);
      changed = true;
      std::printf("changed %lld %.3f\n", static_cast<long long>(now.count()) * 1000, newBpm);
      return;
    }
    std::printf("beat %lld %.6f %.6f %zu\n", static_cast<long long>(now.count()) * 1000,
                session.tempo(), session.beatAtTime(now, 4.0), link.numPeers());
  });
  link.enable(false);
  return 0;
}

int probe(const char* runMs, double tapped) {
  vz::TempoClock clock;
  vz::LinkSession link(clock);
  if (const vz::Status s = link.start(); !s) {
    std::fprintf(stderr, "videozarnix: %s\n", s.message().c_str());
    return 1;
  }
  bool proposed = false;
  every5ms(runMs, [&] {
    const std::int64_t now = vz::steadyNowNs();
    const vz::TempoState s = clock.read();
    if (tapped > 0 && !proposed && link.peers() > 0) {
      link.proposeTempo(tapped, now);
      proposed = true;
      std::printf("proposed %lld %.3f\n", static_cast<long long>(now), tapped);
    }
    if (s.running)
      std::printf("clock %lld %.6f %lld %.6f %d\n", static_cast<long long>(now), s.bpm,
                  static_cast<long long>(s.anchorNs), s.anchorBeat, s.peers);
  });
  link.stop();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string role = argc > 1 ? argv[1] : "";
  if (role == "peer" && argc == 6)
    return peer(std::atof(argv[2]), std::chrono::milliseconds(std::atoi(argv[3])),
                std::atof(argv[4]), argv[5]);
  if (role == "probe" && (argc == 3 || argc == 4))
    return probe(argv[2], argc == 4 ? std::atof(argv[3]) : 0.0);
  std::fprintf(stderr,
               "usage: link_peer peer BPM CHANGE_AFTER_MS NEW_BPM RUN_MS\n"
               "       link_peer probe RUN_MS [TAPPED_BPM]\n");
  return 2;
}
