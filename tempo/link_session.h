// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <memory>
#include <mutex>

#include "base/result.h"
#include "tempo/tempo_source.h"

namespace vz {

// Membership of a Link session (quantum 4: a bar) that drives a TempoClock. Nothing touches the
// network until start(): the session's machinery is built there and torn down by stop(), so a
// program that never asks for Link never opens a socket for it.
class LinkSession final : public TempoSource {
 public:
  explicit LinkSession(TempoClock& clock);
  ~LinkSession() override;  // leaves the session
  LinkSession(const LinkSession&) = delete;
  LinkSession& operator=(const LinkSession&) = delete;

  // Joins: from now on the clock follows the session's tempo and phase (changes by peers
  // included) until stop(). A session already running keeps its tempo; alone, we offer the
  // clock's tempo (120 BPM when it has none).
  Status start() override;
  // Leaves the session. The clock keeps its last tempo: what comes next is the caller's choice.
  void stop() override;
  bool running() const;

  // A tempo the user tapped, offered to everyone in the session (the tap's phase is not: the
  // session's bar is shared and one peer forcing it would jolt everyone). Ignored when not
  // joined or out of 20 to 999 BPM.
  void proposeTempo(double bpm, std::int64_t beatNs = 0) override;
  // Other programs in the session now (0 when alone or not joined), also in the clock's
  // TempoState::peers for the menu's "Link: N peers".
  int peers() const;

 private:
  struct Impl;
  TempoClock& clock_;
  mutable std::mutex mutex_;  // start, stop and proposals come from different threads
  std::unique_ptr<Impl> impl_;
  std::atomic<int> peers_{0};
};

}  // namespace vz
