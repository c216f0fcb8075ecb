// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "engine/video_engine.h"
#include "source/graph_control.h"
#include "ui/file_dialogs.h"
#include "ui/message_boxes.h"

namespace vz::test {

struct ShownBox {
  std::string text, caption;
  unsigned style;
};

// Message boxes answering questions from a script (Yes when it runs out); a box with only
// OK answers OK. Every box shown is remembered; with `forwardTo` set, that shows and answers.
struct ScriptedBoxes : MessageBoxes {
  std::deque<int> answers;
  std::vector<ShownBox> shown;
  MessageBoxes* forwardTo = nullptr;
  int show(const std::string& text, const std::string& caption, unsigned style) override {
    shown.push_back({text, caption, style});
    if (forwardTo) return forwardTo->show(text, caption, style);
    if ((style & 0xF) == kMbOk) return kIdOk;
    if (answers.empty()) return kIdYes;
    const int a = answers.front();
    answers.pop_front();
    return a;
  }
  int count(const std::string& caption) const {
    int n = 0;
    for (const auto& s : shown) n += s.caption == caption;
    return n;
  }
};

// File dialogs answered from a script; nullopt is a cancel. With `forwardTo` set, that
// shows and answers them.
struct ScriptedFiles : FileDialogs {
  std::deque<std::optional<std::string>> answers;
  std::vector<FileDialogRequest> requests;
  std::vector<bool> wasSave;
  FileDialogs* forwardTo = nullptr;
  std::optional<std::string> next(const FileDialogRequest& r, bool save) {
    requests.push_back(r);
    wasSave.push_back(save);
    if (forwardTo) return save ? forwardTo->getSaveFileName(r) : forwardTo->getOpenFileName(r);
    if (answers.empty()) return std::nullopt;
    auto a = answers.front();
    answers.pop_front();
    return a;
  }
  std::optional<std::string> getOpenFileName(const FileDialogRequest& r) override {
    return next(r, false);
  }
  std::optional<std::string> getSaveFileName(const FileDialogRequest& r) override {
    return next(r, true);
  }
};

// A media graph that records what it is asked, and lets the test deliver frames.
struct RecordingGraph : GraphControl {
  explicit RecordingGraph(VideoEngine& e) : engine(e) {}
  VideoEngine& engine;
  std::vector<std::string> calls;
  FrameTarget* target = nullptr;
  void stopAndRelease() override { calls.push_back("stopAndRelease"); }
  void startSource(FrameTarget* window) override {
    calls.push_back(engine.sourceIsFile ? "startSource file" : "startSource capture");
    target = window;
  }
  void run() override { calls.push_back("run"); }
  void releaseGraph() override { calls.push_back("releaseGraph"); }
};

}  // namespace vz::test
