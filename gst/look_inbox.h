// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <functional>

#include "engine/video_engine.h"

namespace vz {

// Changes to the look, posted from any thread and applied by the streaming thread at the
// top of its next frame, in the order posted. Posting never blocks and taking never waits:
// the streaming thread swaps the whole list out with one atomic exchange.
class LookInbox {
 public:
  using Change = std::function<void(VideoEngine&)>;

  LookInbox() = default;
  LookInbox(const LookInbox&) = delete;
  LookInbox& operator=(const LookInbox&) = delete;
  ~LookInbox();

  void post(Change change);
  // Applies every change posted so far; returns whether there was any. One thread only.
  bool applyAll(VideoEngine& engine);

 private:
  struct Node {
    Change change;
    Node* next;
  };
  static void release(Node* list);
  std::atomic<Node*> newest_{nullptr};
};

}  // namespace vz
