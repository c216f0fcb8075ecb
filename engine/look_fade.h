// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/frame_settings.h"
#include "engine/frame_worker.h"
#include "engine/video_engine.h"

namespace vz {

// A fade's length in frames: seconds times the frame rate, rounded, at least 1 (a cut), at
// most kMaxFadeFrames. No fade (1) for a rate that is unknown (0) or not a number.
int fadeFrameCount(double seconds, double framesPerSecond);

// Copies what a look runs on, its fields and its colour animation (steps and generator),
// from one engine to another. `from` is read with relaxed loads; its animation state must
// belong to the calling thread (the streaming thread's, or an engine of its own).
void copyLook(const VideoEngine& from, VideoEngine& to);

// A fade from one look into another, on the thread that processes the frames. The look
// fading in is the engine's own (its controls apply at once); the one fading out is a copy
// that keeps its own colour animation running as it would alone. Frame j of a fade of n
// frames blends the two per byte (engine/blend.h); from frame n on the engine's look alone,
// byte for byte as if it had been recalled without a fade.
class LookFade {
 public:
  LookFade();
  ~LookFade();
  LookFade(const LookFade&) = delete;
  LookFade& operator=(const LookFade&) = delete;

  // Fades from `look` as it runs now into whatever the engine runs next, over `frames`
  // frames, starting with the next frame processed (1 or less: no fade; ends a running one).
  void startFrom(const VideoEngine& look, int frames);
  void stop() { fading_ = false; }
  bool fading() const { return fading_; }

  // In place of engine.processFrame: packed rows, bottom row first. A frame of another size
  // than the fade's first ends the fade at once (the engine's look alone).
  void processFrame(VideoEngine& engine, uint8_t* pixels, int width, int height);
  // In place of engine.advanceAnimation: both looks take their step.
  void advanceAnimation(VideoEngine& engine);

 private:
  // The two looks and the blend, with the worker when given (acquired): band by band where
  // both looks allow it, else each on the whole frame.
  void fadeInBands(const FrameSettings& before, const FrameSettings& after, FrameWorker* worker,
                   uint8_t* pixels, int width, int height);
  // One look is Lut2, the other runs in bands: Lut2's grey plane beside the frame, and no
  // copy of the frame.
  void fadeWithLut2(const FrameSettings& lut2, const FrameSettings& other, bool lut2FadesIn,
                    FrameWorker* worker, uint8_t* pixels, int width, int height);
  // One look leaves the frame as it came, the other would split it with the worker (given,
  // acquired): that one runs split, as alone, and the blend is shared.
  void fadeOneLookSplit(const FrameSettings& look, bool lookFadesIn, FrameWorker& worker,
                        uint8_t* pixels, int width, int height);
  void fadeWhole(const FrameSettings& before, const FrameSettings& after, FrameWorker* worker,
                 uint8_t* pixels, int width, int height);

  std::unique_ptr<VideoEngine> old_;  // the look fading out; never shared with another thread
  std::vector<uint8_t> copy_;  // the frame as it came, for the look fading out (or Lut2's plane)
  bool fading_ = false;
  bool oldRan_ = false;  // the look fading out rendered the last frame
  bool sized_ = false;
  int width_ = 0, height_ = 0;
  int j_ = 0, n_ = 1;
};

}  // namespace vz
