// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/output_control.h"

#include <QMetaObject>
#include <QPointer>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>

#include "app/output_window.h"
#include "app/preview_widget.h"
#include "base/terminal_safe.h"
#include "output/camera_target.h"
#include "output/output_branches.h"
#include "source/capture_devices.h"

namespace vz {

OutputControl::OutputControl(OutputStage& stage, MessageBoxes& boxes, FileDialogs& files,
                             std::function<Rate()> sourceRate)
    : stage_(stage), boxes_(boxes), files_(files), sourceRate_(std::move(sourceRate)) {
  static_assert(std::string_view(kRecordBranchId) == std::string_view(kRecordBranch));
  static_assert(std::string_view(kOwnCameraNodeName) == std::string_view(kCameraNodeName));
  QPointer<OutputControl> self(this);
  stage_.setErrorHandler([self](const std::string& id, const std::string& message) {
    // A streaming thread of the stage: hand it to the GUI thread.
    QMetaObject::invokeMethod(
        self.data(),
        [self, id, message] {
          if (self) self->onBranchError(id, message);
        },
        Qt::QueuedConnection);
  });
}

OutputControl::~OutputControl() {
  stopAll();
  stage_.setErrorHandler({});
}

void OutputControl::prepareStage() {
  if (stage_.running() || !sourceRate_) return;
  const Rate r = sourceRate_();
  stage_.setSourceRate(r.numerator, r.denominator);
}

bool OutputControl::startRecording(const std::string& path, bool numbered) {
  if (recording()) return true;
  const Result<RecordFormat> f = resolveRecordFormat(path, recordCodec_);
  if (!f) {
    tell("Cannot record into " + path + ":\n" + f.message(), "Record");
    return false;
  }
  // The folder of a dated recording may not exist yet.
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(f->path).parent_path(), ec);
  const Result<std::string> created = createRecordingFile(f->path, numbered);
  if (!created) {
    tell("Cannot record into " + f->path + ":\n" + created.message(), "Record");
    return false;
  }
  RecordFormat format = *f;
  format.path = *created;
  prepareStage();
  if (const Status started = vz::startRecording(stage_, format); !started) {
    // The file is ours, created a moment ago: nothing was recorded into it.
    if (std::filesystem::file_size(format.path, ec) == 0 && !ec)
      std::filesystem::remove(format.path, ec);
    tell(started.message(), "Record");
    return false;
  }
  recordingPath_ = format.path;
  emit recordingChanged(true);
  return true;
}

void OutputControl::tell(const std::string& text, const std::string& caption) {
  if (!quiet_) {
    boxes_.show(text, caption, kMbIconError);
    return;
  }
  std::string line = text;
  for (char& ch : line)
    if (ch == '\n') ch = ' ';
  std::fprintf(stderr, "videozarnix: %s\n", terminalSafe(line).c_str());
}

void OutputControl::remoteRecord(bool on, bool mayShowBox) {
  if (!on) {
    stopRecording();
    return;
  }
  if (recording()) return;
  quiet_ = !mayShowBox;
  startRecording(defaultRecordingPath(static_cast<long long>(std::time(nullptr))), true);
  quiet_ = false;
}

void OutputControl::recordAs() {
  const std::optional<std::string> path = files_.getSaveFileName(
      {"Video {*.mkv, *.mp4, *.webm}", "*.mkv *.mp4 *.webm", kOfnHideReadOnly, "mkv"});
  if (!path) return;
  if (recording()) stopRecording();
  // An existing file may be an earlier take: it is refused with a box, never replaced.
  startRecording(*path);
}

void OutputControl::toggleRecording() {
  if (recording()) {
    stopRecording();
    return;
  }
  startRecording(defaultRecordingPath(static_cast<long long>(std::time(nullptr))), true);
}

void OutputControl::stopRecording() {
  if (!recording()) return;
  const BranchReport r = stage_.removeBranch(kRecordBranchId);
  std::fprintf(stderr, "%s\n", recordingSummary(recordingPath_, r).c_str());
  std::fflush(stderr);
  emit recordingChanged(false);
}

void OutputControl::stopAll() {
  stopRecording();
  stopVirtualCamera();
  closeOutputWindow();
}

OutputWindow* OutputControl::outputWindow() const {
  return static_cast<OutputWindow*>(window_.data());
}

void OutputControl::setWindowFrames(PreviewWidget* preview) {
  windowFrames_ = preview;
}

void OutputControl::toggleOutputWindow(QScreen* screen) {
  const bool same = window_ && outputWindow()->shownOn() == screen;
  closeOutputWindow();
  if (same || screen == nullptr) return;
  if (!windowFrames_) {
    boxes_.show("Cannot open the output window: there is no picture to show.", "Output Window",
                kMbIconError);
    return;
  }
  auto* window = new OutputWindow(screen, *windowFrames_, [this](char letter) {
    if (onLetter_) onLetter_(letter);
  });
  window->setAttribute(Qt::WA_DeleteOnClose);
  window_ = window;
  window->showOnScreen();
}

void OutputControl::closeOutputWindow() {
  if (window_) delete window_.data();
}

bool OutputControl::cameraOn() const {
  return stage_.hasBranch(kCameraBranch) && (!pipeWireCamera_ || pipeWireCamera_->offered());
}

bool OutputControl::cameraWaiting() const {
  return stage_.hasBranch(kCameraBranch) && pipeWireCamera_ && !pipeWireCamera_->offered();
}

bool OutputControl::startVirtualCamera(const std::string& requested) {
  if (stage_.hasBranch(kCameraBranch)) return true;
  const Result<std::string> target = resolveCameraTarget(requested);
  if (!target) {
    boxes_.show("Cannot start the virtual camera:\n" + target.message(), "Virtual Camera",
                kMbIconError);
    return false;
  }
  prepareStage();
  QPointer<OutputControl> self(this);
  const Status started =
      vz::startVirtualCamera(stage_, *target, pipeWireCamera_, [self](PipeWireCamera::State s) {
        // PipeWire's thread: hand it to the GUI thread.
        QMetaObject::invokeMethod(
            self.data(),
            [self, s] {
              if (self) self->onCameraState(s);
            },
            Qt::QueuedConnection);
      });
  if (!started) {
    boxes_.show(started.message(), "Virtual Camera", kMbIconError);
    return false;
  }
  if (*target != "pipewire") setOwnLoopbackDevice(*target);
  emit cameraChanged(true);
  return true;
}

void OutputControl::stopVirtualCamera() {
  if (!stage_.hasBranch(kCameraBranch)) return;
  stage_.removeBranch(kCameraBranch, std::chrono::seconds(2));
  // Only now: the branch fed it until it was removed.
  pipeWireCamera_.reset();
  setOwnLoopbackDevice({});
  emit cameraChanged(false);
}

void OutputControl::toggleVirtualCamera() {
  if (stage_.hasBranch(kCameraBranch))
    stopVirtualCamera();
  else
    startVirtualCamera("auto");
}

void OutputControl::onCameraState(PipeWireCamera::State state) {
  // Each one happened (they alternate), even when the camera was stopped since.
  std::fprintf(stderr, "%s\n",
               state == PipeWireCamera::State::Lost
                   ? "videozarnix: the virtual camera lost PipeWire; it comes back when "
                     "PipeWire does"
                   : "videozarnix: the virtual camera is back on PipeWire");
  std::fflush(stderr);
  emit cameraChanged(cameraOn());
}

double OutputControl::recordingSeconds() const {
  return recording() ? stage_.report(kRecordBranchId).seconds : 0.0;
}

void OutputControl::onBranchError(const std::string& id, const std::string& message) {
  if (id == kRecordBranchId && recording()) {
    // What was written is finalised as far as the branch still can.
    stopRecording();
    boxes_.show("Recording into " + recordingPath_ + " failed:\n" + message +
                    "\n\nThe video keeps running; what was recorded so far is kept.",
                "Record", kMbIconError);
    return;
  }
  if (id == kCameraBranch && stage_.hasBranch(kCameraBranch)) {
    stopVirtualCamera();
    boxes_.show("The virtual camera stopped:\n" + message, "Virtual Camera", kMbIconError);
    return;
  }
  if (id.empty()) boxes_.show("The outputs failed:\n" + message, "Outputs", kMbIconError);
}

}  // namespace vz
