// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gst/gst.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "base/result.h"
#include "gstref/gst_ref.h"
#include "tempo/tempo_source.h"

namespace vz {

// The GStreamer description of an audio input named on the command line: "auto" (the
// desktop's default source), "pipewire:NODE" or "jack". A failure names what was expected.
Result<std::string> audioInputGraph(const std::string& input);

// The tempo heard on an audio input: the sound is taken through GStreamer and followed by an
// AudioBeatTracker on a thread of its own, which sets the clock at every beat it is sure of.
// Until it is, the clock stays as it was (off, unless another source ran).
class AudioBeatTracker;

class AudioTempoSource final : public TempoSource {
 public:
  AudioTempoSource(TempoClock& clock, std::string input);
  ~AudioTempoSource() override;

  // Opens the input and waits (at most a few seconds) for its first sound or its failure; an
  // input that cannot be opened (no audio device at all) fails with one line for stderr.
  Status start() override;
  void stop() override;

  static constexpr int kSampleRate = 44100;

 private:
  void run();
  void handleSample(GstSample* sample);

  TempoClock& clock_;
  std::string input_;
  GRef<GstElement> pipeline_;
  GRef<GstElement> sink_;
  std::unique_ptr<AudioBeatTracker> tracker_;  // the capture thread's, once started
  std::thread thread_;
  std::atomic<bool> quit_{false};
};

}  // namespace vz
