// SPDX-License-Identifier: GPL-3.0-or-later
// Another program in a Link session, built from the same Link headers: it starts the session at
// one tempo, changes it to another some time after it first sees a peer, and prints its view of
// the session ("beat NS BPM BEAT", "changed NS BPM") every few milliseconds. Run only inside a
// private network namespace.
#include <ableton/Link.hpp>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: link_peer BPM CHANGE_AFTER_MS NEW_BPM RUN_MS\n");
    return 2;
  }
  const double bpm = std::atof(argv[1]), newBpm = std::atof(argv[3]);
  const auto changeAfter = std::chrono::milliseconds(std::atoi(argv[2]));
  const auto runFor = std::chrono::milliseconds(std::atoi(argv[4]));
  ableton::BasicLink<ableton::platforms::linux::ClockMonotonic> link(bpm);
  link.enable(true);
  const auto start = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point sawPeer{};
  bool changed = false;
  while (std::chrono::steady_clock::now() - start < runFor) {
    if (sawPeer == std::chrono::steady_clock::time_point{} && link.numPeers() > 0)
      sawPeer = std::chrono::steady_clock::now();
    const auto now = link.clock().micros();
    auto session = link.captureAppSessionState();
    if (!changed && sawPeer != std::chrono::steady_clock::time_point{} &&
        std::chrono::steady_clock::now() - sawPeer > changeAfter) {
      session.setTempo(newBpm, now);
      link.commitAppSessionState(session);
      changed = true;
      std::printf("changed %lld %.3f\n", static_cast<long long>(now.count()) * 1000, newBpm);
      continue;
    }
    std::printf("beat %lld %.6f %.6f %zu\n", static_cast<long long>(now.count()) * 1000,
                session.tempo(), session.beatAtTime(now, 4.0), link.numPeers());
    std::fflush(stdout);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  link.enable(false);
  return 0;
}
