// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The real dialog with the controllers' bridge started by the test: its mappings file in a
// folder of the test's own, its record requests noted, OSC on a free port of the loopback
// address.
#include <QTest>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/controller_bridge.h"
#include "engine/shared_value.h"
#include "presets/preset_slot.h"
#include "tests/dialog_fixture.h"
#include "tests/osc_packet.h"
#include "tests/scratch_dir.h"

namespace vz::test {

class ControllerFixture : public DialogFixture {
 protected:
  ScratchDir dir{"vz-controllers"};
  std::string mappingsPath = (dir / "videozarnix" / "midi-mappings").string();
  std::vector<bool> recordings, boxAllowed;  // each record request: on, and may it show a box
  std::unique_ptr<ControllerBridge> bridge;
  int oscPort = 0;

  void TearDown() override {
    bridge.reset();
    DialogFixture::TearDown();
  }
  void start(const ControllerOptions& options) {
    bridge.reset();
    bridge = std::make_unique<ControllerBridge>(
        *dialog, options,
        [this](bool on, bool mayShowBox) {
          recordings.push_back(on), boxAllowed.push_back(mayShowBox);
        },
        mappingsPath);
  }
  void startOsc(std::vector<std::string> feedbackTargets = {}, bool verbose = false) {
    oscPort = freeUdpPort();
    ControllerOptions o{false, oscPort, "127.0.0.1", verbose};
    o.feedback.oscTargets = std::move(feedbackTargets);
    start(o);
    ASSERT_NE(bridge->osc(), nullptr);
  }
  // A look in slot `slot` that differs from the live one, which stays.
  void storeLook(int slot, int gainRed, int mode) {
    VideoEngine& e = engine();
    const auto live = std::pair(e.gainRed, e.mode);
    e.gainRed = gainRed, e.mode = static_cast<uint8_t>(mode);
    storeSlot(e, slot);
    std::tie(e.gainRed, e.mode) = live;
  }
  using DialogFixture::checked;
  int slider(int id) { return ops().sliderPos(id); }
  bool checked(int id) { return ops().isDlgButtonChecked(id); }
  // Does `act` until done holds, for ten seconds at most: a message into a connection JACK
  // has just made may be lost (it activates the connection on a later cycle).
  static bool repeatUntil(const std::function<void()>& act, const std::function<bool()>& done) {
    for (int i = 0; i < 40 && !done(); ++i) {
      act();
      (void)QTest::qWaitFor(done, 250);
    }
    return done();
  }
};

}  // namespace vz::test
