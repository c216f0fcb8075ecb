// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "output/output_stage.h"
#include "output/pipewire_camera.h"
#include "output/record_format.h"
#include "ui/file_dialogs.h"
#include "ui/message_boxes.h"

class QScreen;

namespace vz {

class OutputWindow;
class PreviewWidget;

// The outputs as the user commands them (menu, F9, start-up options): recording now, the
// virtual camera and output window later. GUI thread; failures go to message boxes, a
// finished recording to one line on stderr.
class OutputControl final : public QObject {
  Q_OBJECT

 public:
  struct Rate {
    int numerator = 0;
    int denominator = 1;
  };
  OutputControl(OutputStage& stage, MessageBoxes& boxes, FileDialogs& files,
                std::function<Rate()> sourceRate);
  ~OutputControl() override;

  // Codec for recordings started later (a name as --record-codec takes; empty: default).
  void setRecordCodec(const std::string& name) { recordCodec_ = name; }
  const std::string& recordCodec() const { return recordCodec_; }

  // Starts recording into path, a new file (an existing one is never overwritten; with
  // numbered, a taken name gets the next free one); a failure shows its box. True when
  // recording.
  bool startRecording(const std::string& path, bool numbered = false);
  // "Record...": asks for a new file.
  void recordAs();
  // F9: stops a recording, or starts one into the default folder under a dated name (the
  // next free one when a take of the same second has it).
  void toggleRecording();
  // A controller's request: on starts as F9 does; failures go to stderr, not a box, when no
  // box may be shown now.
  void remoteRecord(bool on, bool mayShowBox);
  // Finalises the file and prints its summary line.
  void stopRecording();
  // Everything finalised, as when the program closes.
  void stopAll();

  // The virtual camera: requested as --virtual-camera takes it ("auto" from the menu).
  bool startVirtualCamera(const std::string& requested);
  void stopVirtualCamera();
  // Stops the camera, or the wait for its daemon; else starts it as "auto".
  void toggleVirtualCamera();
  // Offered now.
  bool cameraOn() const;
  // Turned on, but its daemon went away: it comes back by itself when the daemon does.
  bool cameraWaiting() const;

  // The output window: opens on screen, or closes when it already shows there. It shows
  // the frames the preview shows (set before it opens).
  void setWindowFrames(PreviewWidget* preview);
  void toggleOutputWindow(QScreen* screen);
  void closeOutputWindow();
  OutputWindow* outputWindow() const;
  // What a letter key in the output window does.
  void setLetterHandler(std::function<void(char)> handler) { onLetter_ = std::move(handler); }

  bool stageHasFrame() const { return stage_.hasSeenFrame(); }
  bool recording() const { return stage_.hasBranch(kRecordBranchId); }
  double recordingSeconds() const;
  const std::string& recordingPath() const { return recordingPath_; }

 signals:
  void recordingChanged(bool recording);
  void cameraChanged(bool on);

 private:
  static constexpr const char* kRecordBranchId = "record";
  void onBranchError(const std::string& id, const std::string& message);
  void onCameraState(PipeWireCamera::State state);
  void prepareStage();
  void tell(const std::string& text, const std::string& caption);
  bool quiet_ = false;  // failures to stderr instead of a box

  OutputStage& stage_;
  MessageBoxes& boxes_;
  FileDialogs& files_;
  std::function<Rate()> sourceRate_;
  std::string recordCodec_;
  std::string recordingPath_;
  std::unique_ptr<PipeWireCamera> pipeWireCamera_;  // while the camera goes to PipeWire
  QPointer<QWidget> window_;                        // the OutputWindow while it shows
  QPointer<PreviewWidget> windowFrames_;
  std::function<void(char)> onLetter_;
};

}  // namespace vz
