#pragma once

#include <gst/gst.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "engine/frame_sink.h"

namespace vz {

// Size and rate of everything the outputs deliver, fixed while any output runs.
struct OutputFormat {
  int width = 1280;
  int height = 720;
  int rateNumerator = 30;
  int rateDenominator = 1;
};

// What a branch did, read when it is removed (or at any time while it runs).
struct BranchReport {
  uint64_t framesWritten = 0;  // left the branch's queue for its consumer
  uint64_t framesDropped = 0;  // dropped by the queue because the consumer fell behind
  double seconds = 0;          // from start to stop
  bool finalised = false;      // end-of-stream reached the sink (the file is complete)
};

// The one output stage: a pipeline of our own, started with its first branch and stopped
// after its last, independent of the source graphs. The streaming thread copies each
// processed frame once, upright, into a pooled buffer left in a single slot; the stage's
// own thread takes the newest frame at a steady rate (repeating the last frame while none
// comes, black after the source stopped) into a live appsrc -> scale to the fixed size with
// black bars -> tee -> one leaky queue per branch, so a slow branch drops its own frames.
class OutputStage final : public FrameSink {
 public:
  // Called on a streaming thread of the stage with the branch's id ("" for the stage
  // itself) and one line of text. The branch stops delivering; remove it on the GUI thread.
  using ErrorHandler = std::function<void(const std::string& id, const std::string& message)>;

  OutputStage();
  ~OutputStage() override;
  OutputStage(const OutputStage&) = delete;
  OutputStage& operator=(const OutputStage&) = delete;

  // Streaming thread.
  void takeFrame(const uint8_t* pixels, int width, int height) override;
  void sourceStopped() override;

  // Everything below: GUI thread.
  void setErrorHandler(ErrorHandler handler);
  // The rate to start with when the stage is not running (the first source's); 0: 30 fps.
  void setSourceRate(int numerator, int denominator);
  bool running() const { return pipeline_ != nullptr; }
  // A processed frame has come since the stage was made (its size is then the output's).
  bool hasSeenFrame() const { return lastWidth_.load(std::memory_order_relaxed) > 0; }
  OutputFormat format() const { return format_; }

  // Adds a branch after its own leaky queue. description: launch syntax of the elements
  // that follow the queue, the last one named "sink". configure (optional) sets properties
  // before the branch starts. Starts the stage first when it is not running. Returns an
  // empty string, or what went wrong (the branch is then gone again).
  std::string addBranch(const std::string& id, const std::string& description,
                        const std::function<void(GstBin*)>& configure = {});
  // Ends the branch with end-of-stream sent into it alone, waits at most timeout for it
  // to reach the sink, then takes the branch down. The last branch stops the stage.
  BranchReport removeBranch(const std::string& id,
                            std::chrono::milliseconds timeout = std::chrono::seconds(10));
  bool hasBranch(const std::string& id) const;
  BranchReport report(const std::string& id) const;
  // Frames the stage's thread has pushed since it started.
  uint64_t framesPushed() const { return pushed_.load(std::memory_order_relaxed); }

  struct Branch;

 private:
  bool startPipeline(std::string& error);
  void stopPipeline();
  void pushLoop();
  void pushFrame(GstBuffer* frame, bool keepForRepeats);
  GstBuffer* blackFrame();
  static GstBusSyncReply onBusMessage(GstBus* bus, GstMessage* message, gpointer self);

  // Streaming thread only.
  GstBufferPool* pool_ = nullptr;
  int poolWidth_ = 0, poolHeight_ = 0;
  // Shared between the streaming thread and the stage's thread.
  std::atomic<GstBuffer*> slot_{nullptr};
  std::atomic<bool> active_{false};
  std::atomic<bool> sourceGone_{true};
  std::atomic<int> lastWidth_{0}, lastHeight_{0};
  std::atomic<uint64_t> pushed_{0};
  // The stage's thread.
  GstBuffer* last_ = nullptr;
  GstBuffer* black_ = nullptr;
  std::thread pusher_;
  std::atomic<bool> stopPushing_{false};

  GstElement* pipeline_ = nullptr;
  GstElement* appsrc_ = nullptr;
  GstElement* tee_ = nullptr;
  OutputFormat format_;
  int sourceRateN_ = 0, sourceRateD_ = 1;
  mutable std::mutex branchesMutex_;  // the bus handler looks branches up on its thread
  std::map<std::string, std::unique_ptr<Branch>> branches_;
  ErrorHandler onError_;
};

// Copies a packed frame stored bottom row first into dst upright (top row first), both
// with rows of rowBytes: the row flip folded into the one copy.
void copyRowsFlipped(const uint8_t* bottomUp, uint8_t* dst, int rowBytes, int height);

}  // namespace vz
