// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gst/gst.h>

#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/engine_callback.h"
#include "engine/frame_target.h"
#include "engine/video_engine.h"
#include "gstref/gst_ref.h"
#include "source/camera_modes.h"
#include "source/capture_devices.h"
#include "source/clip_loop.h"
#include "source/first_frame_watch.h"
#include "source/graph_ops.h"
#include "source/graph_result.h"
#include "source/sample_grabber.h"
#include "ui/message_boxes.h"

namespace vz {

// The connected format of the grabber: video, 24-bit B,G,R, width x height.
struct MediaType {
  bool video = false;
  bool rgb24 = false;
  int width = 0;
  int height = 0;
  int bitCount = 0;
};

// Counts the frames on their way to the engine.
class FrameCounter final : public SampleGrabberCallback {
 public:
  explicit FrameCounter(SampleGrabberCallback& next) : next_(next) {}
  void SampleCB(uint8_t* pixels, int width, int height) override {
    frames_.fetch_add(1, std::memory_order_relaxed);
    next_.SampleCB(pixels, width, height);
  }
  void BufferCB(const uint8_t*, long) override {}
  long frames() const { return frames_.load(std::memory_order_relaxed); }
  void reset() { frames_.store(0, std::memory_order_relaxed); }

 private:
  SampleGrabberCallback& next_;
  std::atomic<long> frames_{0};
};

// The one media graph, owned beside the engine and torn down before it. Every operation
// runs on the GUI thread; frames reach the engine's callback on the streaming thread.
// It follows the device list: a camera in use that goes leaves a black picture, and when a
// device of the same key comes back the capture graph is built again by itself.
class MediaGraph final : private DeviceListener {
 public:
  MediaGraph(VideoEngine& engine, MessageBoxes& boxes, DeviceList& devices);
  ~MediaGraph() override;
  MediaGraph(const MediaGraph&) = delete;
  MediaGraph& operator=(const MediaGraph&) = delete;

  // Builds the graph that sourceIsFile selects, then sets the target for frames.
  void startSource(FrameTarget* window);
  // Starts delivery; without a media control it does nothing.
  HResult run();
  // Asks the graph to stop, then releases it.
  void stopAndRelease();
  // Releases every object of the graph in a fixed order; no frame is delivered after it.
  void releaseGraph();

  // The outputs' tap on processed frames; it outlives every graph this object builds.
  void setFrameSink(FrameSink* sink) { callback_.setSink(sink); }
  // The source's frame rate as negotiated, {0, 1} before any.
  GrabberRate frameRate() const;

  int buildCaptureGraph();
  int buildFileGraph();
  int selectCaptureDevice();

  // The camera mode the command line asks for (nothing: the device's best mode). Applies
  // from the next capture build.
  void setCameraRequest(const ModeRequest& request) { cameraRequest_ = request; }
  // The mode the running camera was opened in (found false when its modes are unknown).
  const ModeChoice& cameraMode() const { return cameraMode_; }
  // The camera to take without a question, by its key (empty: the device question decides).
  // A Yes at the question sets it; it applies from the next capture build.
  void setCameraKey(std::string key) { cameraKey_ = std::move(key); }
  const std::string& cameraKey() const { return cameraKey_; }
  // Frames handed to the engine since the source last started.
  long framesDelivered() const { return counter_.frames(); }
  // Whether a clip plays again from its start when it ends (else its last frame stays);
  // applies to the running clip from its next end, and replays a clip held at its end.
  void setLoopClips(bool on);
  bool loopClips() const { return loopClips_; }
  // Times the running clip has restarted.
  int clipLoops() const { return clipLoop_ ? clipLoop_->loops() : 0; }

  // Each non-null field holds one reference, released once by releaseGraph.
  GstElement* captureFilter = nullptr;
  GstElement* graph = nullptr;         // the pipeline
  GstElement* mediaControl = nullptr;  // the pipeline again, as what runs and stops it
  GstBus* mediaEvent = nullptr;        // the pipeline's bus; logged, never read
  std::unique_ptr<CaptureGraphBuilder> captureBuilder;
  GstElement* grabber = nullptr;  // the grabber element, as what takes the callback
  GstElement* grabberFilter = nullptr;
  GstElement* nullRenderer = nullptr;
  GstElement* fileSourceFilter = nullptr;
  GstElement* fileSource = nullptr;  // the file source again, as what loads the file
  MediaType mediaType;
  FrameTarget* targetWindow = nullptr;

  // How long a stop may take before the graph is left to finish stopping on its own.
  static constexpr std::chrono::milliseconds kStopTimeout{900};
  // The same bound for starting: a camera may take its time, the GUI thread does not wait.
  static constexpr std::chrono::milliseconds kStartTimeout{900};
  // A camera that has delivered nothing by then is reported and shown as black.
  static constexpr std::chrono::milliseconds kFirstFrameTimeout{5000};
  // A still picture plays as a steady stream at this rate, so that a look can be set on it.
  static constexpr int kStillFps = 30;

 private:
  void setRequiredMediaType();
  void getConnectedMediaType();
  HResult stopWhenReady();
  GRef<GstCaps> chooseCaptureCaps();
  void reportSilentCamera(GstElement* grabber);
  void showBlack(GstElement* grabber);
  void watchBus();
  void loopClip(GstElement* fed);
  void build(FrameTarget* window);
  bool bindDevice(CaptureDevice& device);
  void bindByKey(const std::string& key);
  void settleCapture();
  void presentBlack(int width, int height);
  void releaseObjects();
  // Device notices (DeviceListener), and what they lead to.
  void deviceAdded(const std::string& key) override;
  void deviceRemoved(const std::string& key) override;
  void loseCamera();
  void restartCapture(bool ask);
  bool offersNewCamera();
  // What tells the cameras apart at the question: the key, else the name.
  static std::string identityOf(const CaptureDevice& device);
  void replayNotices();

  VideoEngine& engine_;
  MessageBoxes& boxes_;
  DeviceList& devices_;
  EngineCallback callback_;
  FrameCounter counter_{callback_};
  FirstFrameWatch firstFrameWatch_;
  ModeRequest cameraRequest_;
  ModeChoice cameraMode_;
  GRef<GstCaps> deviceModes_;  // of the bound device, until the chain is built
  std::string deviceName_;
  bool capturing_ = false;  // the graph reads a bound device
  bool loopClips_ = true;
  std::shared_ptr<ClipLoop> clipLoop_;  // of the running clip
  std::shared_ptr<GraphWatch> watch_;
  bool stopped_ = true;    // the graph's state change to NULL has completed
  bool building_ = false;  // a message box of a build may run the GUI loop: no re-entry

  // What a capture graph without a camera waits for.
  enum class Awaiting { Nothing, KeyedCamera, AnyCamera };
  std::string cameraKey_;
  std::string boundKey_;   // of the device the capture graph reads (empty: none, or no key)
  std::string resumeKey_;  // the device a resume binds, while it builds
  Awaiting awaiting_ = Awaiting::Nothing;
  std::string awaitedKey_;
  std::set<std::string> declined_;  // the cameras answered No, by key (else by name)
  std::vector<std::pair<bool, std::string>> notices_;  // added?, key: came during a build
  std::atomic<bool> graphFailed_{false};  // the bus reported an error (already on stderr)
};

}  // namespace vz
