// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <mutex>
#include <optional>

#include "control/osc_mappings.h"
#include "control/osc_parser.h"

namespace vz {

// What OSC learn binds, and the request of the message that completed it when the control
// was chosen first (that message moves the control too, as any later one would).
struct OscLearned {
  OscMapping mapping;
  std::optional<ControllerAction> apply;
};

// OSC learn: once armed, the next control the user moves and the next message at an address
// nobody has bound are bound together, in whichever order they come (the latest of each
// until both are there). The OSC thread offers addresses; everything else is the GUI thread's.
class OscLearn {
 public:
  void arm();
  void cancel();
  bool armed() const { return armed_.load(std::memory_order_relaxed); }

  // OSC thread: true when the address was taken and none was waiting to be looked at: the
  // GUI thread should then call addressOffered() soon.
  bool offer(const OscUnknown& unknown);
  // GUI thread.
  std::optional<OscLearned> addressOffered();
  std::optional<OscLearned> controlMoved(const ControlTarget& target);

 private:
  std::optional<OscLearned> completeIfReady();  // with mutex_ held

  std::atomic<bool> armed_{false};
  std::mutex mutex_;
  const ControlTarget* target_ = nullptr;
  std::optional<OscUnknown> offered_;  // waiting for the GUI thread to look
  std::optional<OscUnknown> address_;  // looked at, waiting for a control
  bool controlFirst_ = false;
};

}  // namespace vz
