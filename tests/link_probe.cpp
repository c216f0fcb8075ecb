// SPDX-License-Identifier: GPL-3.0-or-later
// The program's Link source on its own: joins a session and prints the tempo clock it keeps
// ("clock NOW_NS BPM ANCHOR_NS ANCHOR_BEAT PEERS") every few milliseconds, then leaves. With a
// second argument, proposes that tempo (as a tap would) after the first peer is seen. Run only
// inside a private network namespace.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "tempo/link_session.h"
#include "tempo/tempo_clock.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: link_probe RUN_MS [TAPPED_BPM]\n");
    return 2;
  }
  const auto runFor = std::chrono::milliseconds(std::atoi(argv[1]));
  const double tapped = argc > 2 ? std::atof(argv[2]) : 0.0;
  vz::TempoClock clock;
  vz::LinkSession link(clock);
  if (const vz::Status s = link.start(); !s) {
    std::fprintf(stderr, "videozarnix: %s\n", s.message().c_str());
    return 1;
  }
  const auto start = std::chrono::steady_clock::now();
  bool proposed = false;
  while (std::chrono::steady_clock::now() - start < runFor) {
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
    std::fflush(stdout);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  link.stop();
  return 0;
}
