// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gst/gst.h>
#include <semaphore.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "base/result.h"
#include "engine/frame_sink.h"
#include "gstref/gst_ref.h"

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
  uint64_t framesWritten = 0;   // reached the branch's consumer (a recording's file holds them)
  uint64_t framesRepeated = 0;  // of those, the same picture as the frame before
  uint64_t framesDropped = 0;   // pictures taken while it ran that never reached the consumer
  uint64_t droppedBehind = 0;   // of those, dropped because the consumer itself fell behind
  double seconds = 0;           // from start to stop
  bool finalised = false;       // end-of-stream reached the sink (the file is complete)
  std::string label;            // what the consumer is, for its summary (see labelBranch)
  OutputFormat format;          // the stage's while the branch ran
};

// The one output stage: a pipeline of our own, started with its first branch and stopped
// after its last, independent of the source graphs. The streaming thread copies each
// processed frame once, upright, into a pooled buffer left in a single slot, numbered and
// stamped with the time it came, and wakes the stage's thread. That thread puts the frames
// on an exact grid (FramePacer: frame n has PTS n x period; a frame repeats only when the
// source stalls, one drops only when the source runs faster or the stage falls behind; black
// after the source stopped) into a live appsrc -> scale to the fixed size with black bars ->
// tee -> one leaky queue per branch, so a slow branch drops its own frames. Each branch
// starts with the first frame taken after it was added and numbers its frames from 0 on the
// same grid, so every file starts at zero on a real picture and runs at a constant rate.
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
  // before the branch starts. Starts the stage first when it is not running. On failure
  // the branch is gone again.
  Status addBranch(const std::string& id, const std::string& description,
                   const std::function<void(GstBin*)>& configure = {});
  // Ends the branch with end-of-stream sent into it alone, waits at most timeout for it
  // to reach the sink, then takes the branch down. The last branch stops the stage.
  BranchReport removeBranch(const std::string& id,
                            std::chrono::milliseconds timeout = std::chrono::seconds(10));
  bool hasBranch(const std::string& id) const;
  BranchReport report(const std::string& id) const;
  // Frames the stage's thread has pushed since it started.
  uint64_t framesPushed() const { return pushed_.load(std::memory_order_relaxed); }
  // No source delivers: none yet, or the last one stopped. A branch added now starts black.
  bool sourceAbsent() const { return sourceGone_.load(std::memory_order_relaxed); }
  // Names the branch's consumer in its reports (a recording: its codec).
  void labelBranch(const std::string& id, const std::string& label);

  struct Branch;

 private:
  Status startPipeline();
  void stopPipeline();
  void pushLoop();
  void pushFrame(GRef<GstBuffer> frame, bool keepForRepeats);
  void pushRepeat();
  GstBuffer* blackFrame();
  GstClockTime period() const;
  static GstBusSyncReply onBusMessage(GstBus* bus, GstMessage* message, gpointer self);

  // Streaming thread only.
  GRef<GstBufferPool> pool_;
  int poolWidth_ = 0, poolHeight_ = 0;
  // Shared between the streaming thread and the stage's thread.
  // The slot: three hand-over places passed between the two threads (a triple buffer), so
  // that a frame's number and arrival time travel with it and neither thread waits.
  struct Handed {
    GRef<GstBuffer> buffer;
    uint64_t number = 0;
    int64_t time = 0;
  };
  static constexpr unsigned kFresh = 4;  // in middle_: its place holds a frame not yet taken
  Handed handed_[3];
  std::atomic<unsigned> middle_{1};
  unsigned back_ = 0;   // the streaming thread's place
  unsigned front_ = 2;  // the stage's thread's place
  std::atomic<bool> active_{false};
  std::atomic<bool> sourceGone_{true};
  std::atomic<int> lastWidth_{0}, lastHeight_{0};
  std::atomic<uint64_t> pushed_{0};
  std::atomic<uint64_t> taken_{0};  // frames numbered so far (a frame's number: 1 on)
  sem_t wake_;                      // posted for each frame left in the slot
  // The stage's thread.
  GRef<GstBuffer> last_;
  uint64_t nextSlot_ = 0;  // the grid slot of the next frame pushed
  GRef<GstBuffer> black_;
  std::thread pusher_;
  std::atomic<bool> stopPushing_{false};

  GRef<GstElement> pipeline_;
  GstElement* appsrc_ = nullptr;  // both held by the pipeline
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
