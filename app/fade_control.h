// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <optional>

#include "app/fade_command_line.h"
#include "engine/video_engine.h"

class QMenu;

namespace vz {

// Frames a recall fades over: beats at the tempo while one runs (bpm), else the seconds, at
// the source's frame rate; rounded, at least 1 (a cut).
int fadeFramesFor(double seconds, double beats, double framesPerSecond, std::optional<double> bpm);

// The program's fade length: from the command line, the preview menu and OSC into the
// engine's link, and the frames each recall fades over, asked at the recall. GUI thread.
class FadeControl {
 public:
  FadeControl(VideoEngine& engine, std::function<double()> framesPerSecond);
  ~FadeControl();
  FadeControl(const FadeControl&) = delete;
  FadeControl& operator=(const FadeControl&) = delete;

  void apply(const FadeOptions& options);
  // Where the tempo comes from: its beats per minute while it runs, nothing otherwise.
  void setTempo(std::function<std::optional<double>()> bpm) { bpm_ = std::move(bpm); }
  int framesNow() const;

  // A "Fade" submenu: Off, 0.25 s, 0.5 s, 1 s, 2 s, 1 beat, 1 bar; the check shows the length.
  void addMenu(QMenu& menu);

 private:
  VideoEngine& engine_;
  std::function<double()> framesPerSecond_;
  std::function<std::optional<double>()> bpm_;
};

}  // namespace vz
