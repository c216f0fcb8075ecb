// SPDX-License-Identifier: GPL-3.0-or-later
#include "gst/look_inbox.h"

#include <utility>

namespace vz {

LookInbox::~LookInbox() {
  release(newest_.exchange(nullptr, std::memory_order_acquire));
}

void LookInbox::release(Node* list) {
  while (list != nullptr) delete std::exchange(list, list->next);
}

void LookInbox::post(Change change) {
  Node* node = new Node{std::move(change), newest_.load(std::memory_order_relaxed)};
  while (!newest_.compare_exchange_weak(node->next, node, std::memory_order_release,
                                        std::memory_order_relaxed)) {
  }
}

bool LookInbox::applyAll(VideoEngine& engine) {
  Node* list = newest_.exchange(nullptr, std::memory_order_acquire);
  if (list == nullptr) return false;
  Node* oldest = nullptr;  // the list runs newest first: reverse it
  while (list != nullptr) {
    Node* next = list->next;
    list->next = oldest;
    oldest = list;
    list = next;
  }
  for (Node* n = oldest; n != nullptr; n = n->next) n->change(engine);
  release(oldest);
  return true;
}

}  // namespace vz
