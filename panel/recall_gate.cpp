// SPDX-License-Identifier: GPL-3.0-or-later
#include "panel/recall_gate.h"

namespace vz {

namespace {

RecallGate& gate() {
  static RecallGate g;
  return g;
}

}  // namespace

void setRecallGate(RecallGate g) {
  gate() = std::move(g);
}

bool recallHeldByGate(int slot) {
  return gate() && gate()(slot);
}

}  // namespace vz
