// SPDX-License-Identifier: GPL-3.0-or-later
// The Link source in a session with other programs. Link talks to the whole local network, so
// these tests make a network of their own: a private namespace with a veth pair on 10.213.0.x
// and a multicast route, created here (as root) and deleted whatever the outcome. Every Link
// program runs inside it; this process never joins a session.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tempo/tempo_clock.h"
#include "tests/child_process.h"
#include "tests/scratch_dir.h"

namespace vz::test {
namespace {

bool run(const std::string& command) {
  return shell(command).status == 0;
}

class PrivateNetwork {
 public:
  PrivateNetwork() {
    static int serial = 0;
    const std::string name = "vzlink-" + std::to_string(getpid()) + "-" + std::to_string(++serial);
    if (geteuid() != 0)
      why_ = "network namespaces need root";
    else if (!run("command -v ip"))
      why_ = "no 'ip' command (iproute2)";
    else if (!run("ip netns add " + name))
      why_ = "cannot make a network namespace here";
    else
      name_ = name;
    // Both ends of the pair stay inside: the machine's own network never sees them.
    const std::string in = "ip -n " + name_ + " ";
    for (const std::string& step :
         {in + "link set lo up", in + "link add vza type veth peer name vzb",
          in + "addr add 10.213.0.1/24 dev vza", in + "addr add 10.213.0.2/24 dev vzb",
          in + "link set vza up", in + "link set vzb up", in + "route add 224.0.0.0/4 dev vza"})
      if (ok() && !run(step)) why_ = "cannot set up the private network: " + step;
  }
  ~PrivateNetwork() {
    if (!name_.empty()) run("ip netns del " + name_);
  }
  bool ok() const { return why_.empty(); }
  const std::string& why() const { return why_; }
  std::vector<std::string> inside(std::vector<std::string> argv) const {
    argv.insert(argv.begin(), {"ip", "netns", "exec", name_});
    return argv;
  }

 private:
  std::string name_, why_;
};

// One line of a probe's log: its clock at a moment.
struct ClockLine {
  std::int64_t now;
  TempoState state;
};

std::vector<ClockLine> readProbe(const std::string& path) {
  std::vector<ClockLine> lines;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    std::istringstream words(line);
    std::string tag;
    ClockLine c{};
    c.state.running = true;
    long long anchor = 0, now = 0;
    if (words >> tag >> now >> c.state.bpm >> anchor >> c.state.anchorBeat >> c.state.peers &&
        tag == "clock") {
      c.now = now, c.state.anchorNs = anchor;
      lines.push_back(c);
    }
  }
  return lines;
}

// How far apart two beat readings are, in ms, as phases of a bar (4 beats).
double barPhaseMs(double a, double b, double bpm) {
  double d = std::fmod(a - b, 4.0);
  if (d > 2.0) d -= 4.0;
  if (d < -2.0) d += 4.0;
  return std::abs(d) * 60000.0 / bpm;
}

// The widest gap, in ms at bpm, between the beats `a` gives (a time and the beat there) from
// `from` on and b's latest clock then (itself from `from` on); and how many were compared.
struct Agreement {
  double worstMs = 0;
  int compared = 0;
};
Agreement compareBeats(const std::vector<std::pair<std::int64_t, double>>& a,
                       const std::vector<ClockLine>& b, std::int64_t from, double bpm) {
  Agreement r;
  size_t i = 0;
  for (const auto& [ns, beat] : a) {
    if (ns < from) continue;
    while (i + 1 < b.size() && b[i + 1].now <= ns) ++i;
    if (b.empty() || b[i].now > ns || b[i].now < from) continue;
    r.worstMs = std::max(r.worstMs, barPhaseMs(beatAt(b[i].state, ns), beat, bpm));
    ++r.compared;
  }
  return r;
}

class LinkSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!net_.ok()) GTEST_SKIP() << "Link tests skipped: " << net_.why();
  }
  PrivateNetwork net_;
  ScratchDir dir_;
};

TEST_F(LinkSessionTest, FollowsAPeersTempoChangeWithinOneBeatAndKeepsItsPhase) {
  const std::string peerLog = (dir_ / "peer.log").string(),
                    probeLog = (dir_ / "probe.log").string();
  {
    Child peer(net_.inside({VZ_LINK_PEER, "120", "2000", "90", "7000"}), peerLog);
    Child probe(net_.inside({VZ_LINK_PROBE, "6500"}), probeLog);
    ASSERT_TRUE(peer.started() && probe.started());
    sleep(8);
  }
  std::ifstream peerIn(peerLog);
  std::int64_t changedAt = 0;
  std::vector<std::pair<std::int64_t, double>> peerBeats;  // after the change
  for (std::string line; std::getline(peerIn, line);) {
    std::istringstream words(line);
    std::string tag;
    long long ns = 0;
    double bpm = 0, beat = 0;
    words >> tag >> ns >> bpm;
    if (tag == "changed") changedAt = ns;
    if (tag == "beat" && changedAt != 0 && (words >> beat)) peerBeats.emplace_back(ns, beat);
  }
  const std::vector<ClockLine> probe = readProbe(probeLog);
  ASSERT_NE(changedAt, 0) << "the peer never saw the probe in its session";
  ASSERT_FALSE(probe.empty()) << "the probe's clock never ran";
  EXPECT_NEAR(probe.front().state.bpm, 120.0, 1e-3) << "it joined at the session's tempo";

  std::int64_t followedAt = 0;
  for (const ClockLine& c : probe)
    if (c.now >= changedAt && std::abs(c.state.bpm - 90.0) < 1e-3) {
      followedAt = c.now;
      break;
    }
  ASSERT_NE(followedAt, 0) << "the probe never followed the change to 90 BPM";
  EXPECT_LT(followedAt - changedAt, 500'000'000) << "more than a beat at 120 BPM";

  // Once settled, the probe's beat is the peer's to a bar's phase.
  const Agreement settled = compareBeats(peerBeats, probe, followedAt + 500'000'000, 90.0);
  EXPECT_GT(settled.compared, 100);
  EXPECT_LT(settled.worstMs, 2.0) << "ms between the probe's beat and the peer's";
}

TEST_F(LinkSessionTest, TwoProgramsInOneSessionShareTheBeatAndATappedTempo) {
  const std::string logA = (dir_ / "a.log").string(), logB = (dir_ / "b.log").string();
  {
    Child a(net_.inside({VZ_LINK_PROBE, "6000"}), logA);
    usleep(300'000);  // a runs the session alone first, at its own 120 BPM
    Child b(net_.inside({VZ_LINK_PROBE, "5000", "132"}),
            logB);  // b taps 132 once it sees a
    ASSERT_TRUE(a.started() && b.started());
    sleep(7);
  }
  const std::vector<ClockLine> a = readProbe(logA), b = readProbe(logB);
  ASSERT_FALSE(a.empty());
  ASSERT_FALSE(b.empty());
  EXPECT_NEAR(a.back().state.bpm, 132.0, 1e-3) << "the tap reached the other program";
  auto mostPeers = [](const std::vector<ClockLine>& lines) {
    int most = 0;
    for (const ClockLine& c : lines) most = std::max(most, c.state.peers);
    return most;
  };
  EXPECT_EQ(mostPeers(a), 1);
  EXPECT_EQ(mostPeers(b), 1);

  // From a second after b settled on the tapped tempo, both beats agree to 2 ms.
  std::int64_t settled = 0;
  for (const ClockLine& c : b)
    if (std::abs(c.state.bpm - 132.0) < 1e-3) {
      settled = c.now + 1'000'000'000;
      break;
    }
  ASSERT_NE(settled, 0);
  std::vector<std::pair<std::int64_t, double>> beatsOfA;
  for (const ClockLine& c : a) beatsOfA.emplace_back(c.now, beatAt(c.state, c.now));
  const Agreement both = compareBeats(beatsOfA, b, settled, 132.0);
  EXPECT_GT(both.compared, 100);
  EXPECT_LT(both.worstMs, 2.0) << "ms between the two programs' beats";
}

}  // namespace
}  // namespace vz::test
