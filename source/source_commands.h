// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "engine/frame_target.h"
#include "engine/video_engine.h"
#include "source/graph_control.h"
#include "ui/dialog_ops.h"
#include "ui/file_dialogs.h"
#include "ui/message_boxes.h"

namespace vz {

// The dialog's source commands: each throws the running graph away and builds and runs a
// new one for the chosen source, the preview back at 720 x 480 in the top-left corner.
class SourceCommands {
 public:
  SourceCommands(VideoEngine& engine, GraphControl& graph, DialogOps& dialog, MessageBoxes& boxes,
                 FileDialogs& files, FrameTarget& preview)
      : engine_(engine),
        graph_(graph),
        dialog_(dialog),
        boxes_(boxes),
        files_(files),
        preview_(preview) {}

  void OnVideoRadio();  // VIDEO (1049)
  void OnMpegRadio();   // MPEG (1050): needs a chosen file
  void OnSelectMpeg();  // Select MPEG (1089): chooses the file, plays it at the next MPEG
  void OnRun();         // hidden Run (1001)
  void OnStop();        // hidden Stop (1005)
  void OnVideo();       // hidden Video (1006)
  void OnMpg();         // hidden MPG (1003)
  void OnAviToggle();   // hidden AVI (1091): only records its state
  void OnClose();       // the dialog is closing: release the graph without a stop request
  // Files dropped on the dialog: the first plays as Select MPEG then MPEG would, once it is
  // known to play; otherwise the running source goes on and stderr says why.
  void OnDropFiles(const std::vector<std::string>& paths);

 private:
  void switchSource(int sourceIsFile, int radioToCheck);
  bool checkFileChosen();

  VideoEngine& engine_;
  GraphControl& graph_;
  DialogOps& dialog_;
  MessageBoxes& boxes_;
  FileDialogs& files_;
  FrameTarget& preview_;
};

}  // namespace vz
