// SPDX-License-Identifier: GPL-3.0-or-later
#include "source/media_graph.h"

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "base/terminal_safe.h"
#include "source/media_file_check.h"
#include "source/sample_grabber.h"
#include "source/text_convert.h"

namespace vz {
namespace {

constexpr const char* kDeviceCaption = "     Select Video Capture Device                        ";
constexpr const char* kNoDeviceText = ">>> NO VIDEO CAPTURE DEVICE WAS SELECTED <<<";
// The device question's text buffer held 80 bytes with the terminating zero.
constexpr size_t kDeviceNameBytes = 79;

// Takes ownership of a freshly made (floating) object, so that the field holds one
// plain reference.
template <class T>
T* own(T* object) {
  return object != nullptr ? static_cast<T*>(gst_object_ref_sink(object)) : nullptr;
}

// The public fields stay plain pointers (callers read them as such); each one's reference
// goes here, once.
template <class T>
void release(T*& field) {
  const GRef<T> gone(std::exchange(field, nullptr));
}

// The formats a source element offers before it is opened, when they name fixed sizes (a
// fixed test source); open-ended ones say nothing about the device.
GRef<GstCaps> queryFixedSizeModes(GstElement* source) {
  GRef<GstPad> pad;
  if (!succeeded(findUnconnectedPin(source, PinDirection::Output, pad.out()))) return {};
  GRef<GstCaps> caps(gst_pad_query_caps(pad, nullptr));
  if (!caps) return {};
  bool fixedSizes = !gst_caps_is_any(caps) && !gst_caps_is_empty(caps);
  for (guint i = 0; fixedSizes && i < gst_caps_get_size(caps); ++i) {
    const GstStructure* st = gst_caps_get_structure(caps, i);
    int w = 0, h = 0;
    fixedSizes = gst_structure_get_int(st, "width", &w) && gst_structure_get_int(st, "height", &h);
  }
  if (fixedSizes) return caps;
  return {};
}

void initializeMediaLayer() {
  if (!gst_is_initialized()) gst_init(nullptr, nullptr);
  registerSampleGrabber();
}

}  // namespace

MediaGraph::MediaGraph(VideoEngine& engine, MessageBoxes& boxes, DeviceList& devices)
    : engine_(engine), boxes_(boxes), devices_(devices), callback_(engine) {
  devices_.addListener(this);
}

MediaGraph::~MediaGraph() {
  devices_.removeListener(this);
  building_ = false;
  releaseGraph();
}

void MediaGraph::setLoopClips(bool on) {
  loopClips_ = on;
  if (clipLoop_) clipLoop_->setEnabled(on);
}

void MediaGraph::startSource(FrameTarget* window) {
  if (building_) return;
  awaiting_ = Awaiting::Nothing;
  build(window);
}

void MediaGraph::build(FrameTarget* window) {
  initializeMediaLayer();
  // A graph still standing would lose its objects to the new build: release it first.
  if (graph != nullptr) releaseGraph();
  // No streaming thread runs now; the new one starts the colour cycle afresh.
  engine_.cycleRandom.restart();
  counter_.reset();
  building_ = true;
  if (engine_.sourceIsFile != 0)
    buildFileGraph();
  else
    buildCaptureGraph();
  building_ = false;
  targetWindow = window;
  callback_.setTarget(window);
  if (engine_.sourceIsFile == 0) settleCapture();
}

HResult MediaGraph::run() {
  if (building_ || mediaControl == nullptr) return kSOk;
  stopped_ = false;
  GstStateChangeReturn result = GST_STATE_CHANGE_ASYNC;
  changeStateWithin(mediaControl, GST_STATE_PLAYING, kStartTimeout, &result);
  if (capturing_) {
    GstElement* grabber = grabberFilter;  // stays until releaseGraph, which ends the watch
    firstFrameWatch_.arm(
        kFirstFrameTimeout, [this] { return counter_.frames() > 0; },
        [this, grabber] { reportSilentCamera(grabber); });
  }
  replayNotices();
  return result == GST_STATE_CHANGE_FAILURE ? kEFail : kSOk;
}

void MediaGraph::reportSilentCamera(GstElement* grabber) {
  std::fprintf(
      stderr, "videozarnix: camera \"%s\" delivered no picture within %d s; showing black\n",
      terminalSafe(deviceName_).c_str(), static_cast<int>(kFirstFrameTimeout.count() / 1000));
  showBlack(grabber);
}

void MediaGraph::showBlack(GstElement* grabber) {
  // At the size last shown, so that the picture keeps its shape.
  const GrabberSize size = sampleGrabberConnectedSize(grabber);
  int w = size.width, h = size.height;
  if (w <= 0 || h <= 0) {
    w = cameraMode_.found ? cameraMode_.mode.width : 720;
    h = cameraMode_.found ? cameraMode_.mode.height : 480;
  }
  std::vector<uint8_t> black(static_cast<size_t>(w) * 3 * h, 0);
  sampleGrabberPresentInstead(grabber, [&] { callback_.presentFrame(black.data(), w, h); });
}

void MediaGraph::watchBus() {
  GstElement* grabber = grabberFilter;  // stays until releaseGraph, which stops the watch
  watch_ = std::make_shared<GraphWatch>([this, grabber] {
    graphFailed_.store(true, std::memory_order_relaxed);
    showBlack(grabber);
  });
  logBusToStderr(mediaEvent, watch_);
}

HResult MediaGraph::stopWhenReady() {
  firstFrameWatch_.cancel();
  // Close delivery first: once this returns no frame reaches the engine.
  sampleGrabberCloseGate(grabberFilter);
  if (!stopped_) stopped_ = stopGraph(mediaControl, kStopTimeout);
  return kSOk;
}

void MediaGraph::stopAndRelease() {
  if (building_) return;
  if (mediaControl != nullptr) stopWhenReady();
  releaseGraph();
}

void MediaGraph::releaseGraph() {
  if (building_) return;
  awaiting_ = Awaiting::Nothing;
  notices_.clear();
  releaseObjects();
}

void MediaGraph::releaseObjects() {
  firstFrameWatch_.cancel();
  if (watch_) watch_->stop();
  watch_.reset();
  if (clipLoop_) clipLoop_->detach();
  clipLoop_.reset();
  sampleGrabberCloseGate(grabberFilter);
  // Elements are only freed in NULL state, so the close path stops the graph too.
  if (!stopped_ && graph != nullptr) stopped_ = stopGraph(graph, kStopTimeout);
  // A graph that is still stopping keeps its elements until its helper thread lets go.
  if (stopped_) {
    for (GstElement* filter : {captureFilter, fileSourceFilter, grabberFilter, nullRenderer})
      if (filter != nullptr && graph != nullptr) removeFilter(graph, filter);
  }
  if (FrameSink* sink = callback_.sink()) sink->sourceStopped();
  release(fileSource);
  release(fileSourceFilter);
  release(captureFilter);
  release(grabberFilter);
  release(mediaControl);
  release(mediaEvent);
  release(grabber);
  release(nullRenderer);
  release(graph);
  captureBuilder.reset();
  deviceModes_.reset();
  capturing_ = false;
  boundKey_.clear();
  graphFailed_.store(false, std::memory_order_relaxed);
  stopped_ = true;
}

GrabberRate MediaGraph::frameRate() const {
  return sampleGrabberFrameRate(grabberFilter);
}

void MediaGraph::setRequiredMediaType() {
  mediaType = MediaType{};
  mediaType.video = true;
  mediaType.rgb24 = true;
}

void MediaGraph::getConnectedMediaType() {
  const GrabberSize size = sampleGrabberConnectedSize(grabberFilter);
  if (size.width <= 0 || size.height <= 0) return;  // not connected yet
  mediaType.width = size.width;
  mediaType.height = size.height;
  mediaType.bitCount = 24;
}

int MediaGraph::buildCaptureGraph() {
  captureBuilder = std::make_unique<CaptureGraphBuilder>();
  graph = own(gst_pipeline_new("graph"));
  if (graph == nullptr) return 0;
  captureBuilder->setFiltergraph(graph);
  selectCaptureDevice();

  grabberFilter = own(makeSampleGrabber());
  if (grabberFilter == nullptr) return 0;
  addFilter(graph, grabberFilter, "SampleGrab");
  grabber = GST_ELEMENT(gst_object_ref(grabberFilter));
  sampleGrabberSetCallback(grabber, &counter_, 0);

  mediaControl = GST_ELEMENT(gst_object_ref(graph));
  mediaEvent = gst_element_get_bus(graph);
  if (mediaEvent == nullptr) return 0;
  watchBus();

  nullRenderer = own(makeNullRenderer());
  if (nullRenderer == nullptr) return 0;
  addFilter(graph, nullRenderer, "NULL RENDER");

  setRequiredMediaType();
  const GRef<GstCaps> mode = chooseCaptureCaps();
  captureBuilder->renderStream(captureFilter, grabberFilter, nullRenderer, mode);
  capturing_ = captureFilter != nullptr;
  release(captureFilter);  // the graph keeps the device's element alive
  getConnectedMediaType();
  return 1;
}

GRef<GstCaps> MediaGraph::chooseCaptureCaps() {
  cameraMode_ = ModeChoice{};
  if (captureFilter == nullptr) return {};
  const GRef<GstCaps> caps =
      deviceModes_ ? GRef<GstCaps>(gst_caps_ref(deviceModes_)) : queryFixedSizeModes(captureFilter);
  if (!caps) return {};
  cameraMode_ = chooseCameraMode(cameraModesFromCaps(caps), cameraRequest_);
  if (!cameraMode_.found) return {};
  if (!cameraMode_.exact)
    std::fprintf(stderr, "videozarnix: camera \"%s\" has no such mode; using %s\n",
                 terminalSafe(deviceName_).c_str(), describeMode(cameraMode_.mode).c_str());
  return GRef<GstCaps>(capsForMode(cameraMode_.mode));
}

int MediaGraph::selectCaptureDevice() {
  engine_.deviceIndex = 0;
  // A camera known by its key is taken wherever it stands now, without a question.
  if (const std::string& key = !resumeKey_.empty() ? resumeKey_ : cameraKey_; !key.empty()) {
    bindByKey(key);
    engine_.autoSelectDevice = 1;
    return 1;
  }
  const bool asking = engine_.autoSelectDevice == 0;
  // The question offers the devices present when it is asked: after each No the list is
  // read again, so a camera plugged in meanwhile is offered too, and none twice.
  std::set<std::string> offered = declined_;
  for (bool again = true; again && captureFilter == nullptr;) {
    again = false;
    for (auto& device : devices_.videoInputDevices()) {
      if (captureFilter != nullptr) break;
      std::string name;
      if (!device->readProperty("Description", name)) {
        if (!device->readProperty("FriendlyName", name)) continue;
        if (asking) {
          const std::string identity = identityOf(*device);
          if (!offered.insert(identity).second) continue;
          if (boxes_.show(cutUtf8(name, kDeviceNameBytes), kDeviceCaption, kMbYesNo) != kIdYes) {
            engine_.devicesDeclined += 1;
            declined_.insert(identity);
            again = true;
            continue;
          }
          engine_.deviceChosen = 1;
          cameraKey_ = device->key();
        } else {
          const bool skip = engine_.deviceIndex < engine_.devicesDeclined;
          engine_.deviceIndex += 1;
          if (skip) continue;
        }
      }
      bindDevice(*device);
    }
    again = again && asking;
  }
  if (engine_.deviceChosen == 0) boxes_.show(kNoDeviceText, "Error", kMbOk);
  engine_.autoSelectDevice = 1;
  return 1;
}

bool MediaGraph::bindDevice(CaptureDevice& device) {
  captureFilter = device.bindToObject();
  if (captureFilter == nullptr) return false;
  addFilter(graph, captureFilter, "Capture Filter");
  deviceModes_.reset(device.modes());
  if (!device.readProperty("FriendlyName", deviceName_)) deviceName_.clear();
  boundKey_ = device.key();
  return true;
}

int MediaGraph::buildFileGraph() {
  graph = own(gst_pipeline_new("graph"));
  if (graph == nullptr) return 0;
  mediaControl = GST_ELEMENT(gst_object_ref(graph));
  mediaEvent = gst_element_get_bus(graph);

  nullRenderer = own(makeNullRenderer());
  if (nullRenderer == nullptr) return 0;
  addFilter(graph, nullRenderer, "NULLRENDER");

  grabberFilter = own(makeSampleGrabber());
  if (grabberFilter == nullptr) return 0;
  addFilter(graph, grabberFilter, "SampleGrab");
  grabber = GST_ELEMENT(gst_object_ref(grabberFilter));
  sampleGrabberSetCallback(grabber, &counter_, 0);
  if (mediaEvent != nullptr) watchBus();

  setRequiredMediaType();

  fileSourceFilter = own(gst_element_factory_make("filesrc", nullptr));
  if (fileSourceFilter == nullptr) return 0;
  fileSource = GST_ELEMENT(gst_object_ref(fileSourceFilter));
  addFilter(graph, fileSourceFilter, "File Source");

  // Load: an empty name leaves the source without a file; it then fails to start. So does a
  // name that is no regular file (chosen through Select MPEG, or become one since): opening a
  // pipe would hold this thread for good.
  std::string path = engine_.fileName;
  if (const Status file = path.empty() ? Status() : checkPlayableFile(path); !file) {
    std::fprintf(stderr, "videozarnix: %s\n", terminalSafe(file.message()).c_str());
    path.clear();
  }
  if (!path.empty()) g_object_set(fileSource, "location", path.c_str(), nullptr);

  if (!path.empty() && isStillImage(path)) {
    const GRef<GstPad> output(gst_element_get_static_pad(fileSourceFilter, "src"));
    const GRef<GstPad> input(gst_element_get_static_pad(grabberFilter, "sink"));
    graphConnectStill(graph, output, input, kStillFps);
  } else {
    // A few decoded frames wait before the grabber, so that a clip's restart is decoded
    // while they play out, and its first frame follows the last one without a hitch.
    GstElement* ahead = gst_element_factory_make("queue", "Frames Ahead");
    if (ahead != nullptr) {
      g_object_set(ahead, "max-size-buffers", 3u, "max-size-bytes", 0u, "max-size-time", guint64(0),
                   nullptr);
      gst_bin_add(GST_BIN(graph), ahead);
      connectFilterPair(graph, fileSourceFilter, ahead);
      gst_element_link(ahead, grabberFilter);
    } else {
      connectFilterPair(graph, fileSourceFilter, grabberFilter);
    }
    loopClip(ahead != nullptr ? ahead : grabberFilter);
  }
  connectFilterPair(graph, grabberFilter, nullRenderer);
  getConnectedMediaType();
  return 1;
}

void MediaGraph::loopClip(GstElement* fed) {
  // The end of the decoding chain, which feeds fed.
  const GRef<GstPad> input(gst_element_get_static_pad(fed, "sink"));
  const GRef<GstPad> feed(gst_pad_get_peer(input));
  if (!feed) return;
  const GRef<GstElement> converter(gst_pad_get_parent_element(feed));
  if (!converter) return;
  clipLoop_ = ClipLoop::attach(converter);
  if (clipLoop_) clipLoop_->setEnabled(loopClips_);
}

}  // namespace vz
