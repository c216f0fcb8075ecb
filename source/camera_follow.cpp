// SPDX-License-Identifier: GPL-3.0-or-later
// How the media graph follows cameras that come and go. Every function runs on the GUI thread.
#include <cstdio>
#include <vector>

#include "base/terminal_safe.h"
#include "source/media_graph.h"

namespace vz {

std::string MediaGraph::identityOf(const CaptureDevice& device) {
  std::string identity = device.key();
  if (identity.empty() && device.readProperty("FriendlyName", identity))
    identity.insert(0, "name:");
  return identity;
}

void MediaGraph::bindByKey(const std::string& key) {
  for (auto& device : devices_.videoInputDevices()) {
    if (device->key() == key && bindDevice(*device)) {
      engine_.deviceChosen = 1;  // chosen already, by the question or by name
      return;
    }
  }
  std::fprintf(stderr, "videozarnix: camera %s is not present; waiting for it\n",
               terminalSafe(key).c_str());
}

void MediaGraph::settleCapture() {
  if (capturing_) {
    awaiting_ = Awaiting::Nothing;
    return;
  }
  const std::string& key = !resumeKey_.empty() ? resumeKey_ : cameraKey_;
  if (key.empty()) {
    awaiting_ = Awaiting::AnyCamera;
    return;
  }
  awaiting_ = Awaiting::KeyedCamera;
  awaitedKey_ = key;
  // Whatever the previous source left on screen is not this camera's picture.
  presentBlack(0, 0);
}

void MediaGraph::presentBlack(int width, int height) {
  if (width <= 0 || height <= 0) {
    width = cameraMode_.found ? cameraMode_.mode.width : 720;
    height = cameraMode_.found ? cameraMode_.mode.height : 480;
  }
  std::vector<uint8_t> black(static_cast<size_t>(width) * 3 * height, 0);
  callback_.presentFrame(black.data(), width, height);
}

void MediaGraph::deviceAdded(const std::string& key) {
  if (building_) {
    notices_.emplace_back(true, key);
    return;
  }
  if (engine_.sourceIsFile != 0) return;
  if (awaiting_ == Awaiting::KeyedCamera && !key.empty() && key == awaitedKey_)
    restartCapture(false);
  else if (awaiting_ == Awaiting::AnyCamera && offersNewCamera())
    restartCapture(true);
}

void MediaGraph::deviceRemoved(const std::string& key) {
  if (building_) {
    notices_.emplace_back(false, key);
    return;
  }
  if (capturing_ && !key.empty() && key == boundKey_) loseCamera();
}

void MediaGraph::loseCamera() {
  // A graph that failed has said why on stderr already.
  if (!graphFailed_.load(std::memory_order_relaxed))
    std::fprintf(stderr, "videozarnix: camera \"%s\" is gone; showing black until it comes back\n",
                 terminalSafe(deviceName_).c_str());
  const GrabberSize size = sampleGrabberConnectedSize(grabberFilter);
  awaitedKey_ = boundKey_;
  // Released rather than left waiting: nothing of it runs until the camera is back.
  if (mediaControl != nullptr) stopWhenReady();
  releaseObjects();
  awaiting_ = Awaiting::KeyedCamera;
  presentBlack(size.width, size.height);
}

// Not a source command: the preview keeps its place and size.
void MediaGraph::restartCapture(bool ask) {
  if (mediaControl != nullptr) stopWhenReady();
  if (ask)
    engine_.autoSelectDevice = 0;  // a camera where there was none: the question decides
  else
    resumeKey_ = awaitedKey_;
  build(targetWindow);
  resumeKey_.clear();
  run();
}

bool MediaGraph::offersNewCamera() {
  for (auto& device : devices_.videoInputDevices()) {
    std::string name;
    if (!device->readProperty("Description", name) && !device->readProperty("FriendlyName", name))
      continue;
    if (!declined_.contains(identityOf(*device))) return true;
  }
  return false;
}

void MediaGraph::replayNotices() {
  std::vector<std::pair<bool, std::string>> notices;
  notices.swap(notices_);
  for (const auto& [added, key] : notices) {
    if (added)
      deviceAdded(key);
    else
      deviceRemoved(key);
  }
}

}  // namespace vz
