// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>

#include "engine/look_fade.h"
#include "engine/video_engine.h"

namespace vz {

// The program's side of fades, on the streaming thread: keeps a copy of the look as it ran
// at the end of each frame, and when a recall from another thread has been written
// completely, fades from that copy (the look before the recall) over the frames the
// recaller asked for. It never waits: a recall still being written is noticed a frame later.
class RecallWatch {
 public:
  RecallWatch();
  ~RecallWatch();
  RecallWatch(const RecallWatch&) = delete;
  RecallWatch& operator=(const RecallWatch&) = delete;

  // Before the frame is processed.
  void beforeFrame(const VideoEngine& engine, LookFade& fade);
  // After the frame's animation step.
  void afterFrame(const VideoEngine& engine);

 private:
  std::unique_ptr<VideoEngine> prior_, spare_;
  bool started_ = false;
  bool havePrior_ = false;
  uint32_t seen_ = 0;
};

}  // namespace vz
