// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/video_engine.h"

namespace vz {

// Hears every recall of a look (feedback to controllers shows the recalled look whole).
// GUI thread only.
class RecallListener {
 public:
  virtual ~RecallListener() = default;
  virtual void recalled(const VideoEngine& engine, int slot) = 0;
};

void listenToRecalls(RecallListener* listener);
void stopListeningToRecalls(RecallListener* listener);
// Called by recallPreset once the slot's fields are live.
void announceRecall(const VideoEngine& engine, int slot);

}  // namespace vz
