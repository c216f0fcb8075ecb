// SPDX-License-Identifier: GPL-3.0-or-later
#include "panel/recall_notice.h"

#include <algorithm>
#include <vector>

namespace vz {

namespace {
std::vector<RecallListener*>& listeners() {
  static std::vector<RecallListener*> all;
  return all;
}
}  // namespace

void listenToRecalls(RecallListener* listener) {
  listeners().push_back(listener);
}

void stopListeningToRecalls(RecallListener* listener) {
  std::erase(listeners(), listener);
}

void announceRecall(const VideoEngine& engine, int slot) {
  // A copy: a listener may stop listening while it hears.
  const std::vector<RecallListener*> now = listeners();
  for (RecallListener* l : now) l->recalled(engine, slot);
}

}  // namespace vz
