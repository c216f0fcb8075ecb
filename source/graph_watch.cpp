// SPDX-License-Identifier: GPL-3.0-or-later
#include "source/graph_watch.h"

namespace vz {

bool GraphWatch::enter() {
  if (gate_.fetch_add(2) & 1) {
    leave();
    return false;
  }
  return true;
}

void GraphWatch::leave() {
  if (gate_.fetch_sub(2) & 1) gate_.notify_all();
}

void GraphWatch::stop() {
  gate_.fetch_or(1);
  for (unsigned v = gate_.load(); v != 1; v = gate_.load()) gate_.wait(v);
}

void GraphWatch::onMessage(GstMessage* message) {
  if (!enter()) return;
  if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR && onError_) onError_();
  leave();
}

}  // namespace vz
