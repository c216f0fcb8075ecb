// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/output_setup.h"

#include <QShortcut>
#include <QTimer>
#include <chrono>
#include <cstdio>

#include "app/effect_dialog.h"
#include "app/preview_menu.h"
#include "app/preview_widget.h"
#include "app/recording_badge.h"
#include "app/screen_choice.h"
#include "engine/shared_value.h"
#include "panel/control_bindings.h"
#include "panel/screen_input.h"

namespace vz {

OutputSetup::OutputSetup(EffectDialog& dialog, OutputStage& stage, MessageBoxes& boxes,
                         FileDialogs& files, std::function<OutputControl::Rate()> sourceRate)
    : control(stage, boxes, files, std::move(sourceRate)) {
  control.setWindowFrames(dialog.previewControl);
  menu = new PreviewMenu(dialog.previewControl, control);
  badge = new RecordingBadge(dialog.previewControl, control,
                             [&dialog] { return dialog.engine.fullScreen != 0; });
  auto* f9 = new QShortcut(QKeySequence(Qt::Key_F9), &dialog);
  f9->setContext(Qt::ApplicationShortcut);
  connect(f9, &QShortcut::activated, &control, &OutputControl::toggleRecording);
  // A recall from the output window refreshes the dialog, as a letter key in it does.
  control.setLetterHandler([&dialog](char letter) {
    recallPreset(dialog.engine, dialog.dialogOps(), letter - 'A');
    refreshControls(dialog.engine, dialog.dialogOps());
  });
}

OutputSetup::~OutputSetup() {
  control.stopAll();
}

void OutputSetup::applyStartOptions(const StartOptions& o) {
  control.setRecordCodec(o.recordCodec);
  if (!o.record && o.virtualCamera.empty() && o.outputScreen.empty()) return;
  const std::string path = o.record ? o.record->path : std::string();
  const std::string camera = o.virtualCamera;
  const std::string screen = o.outputScreen;
  // Outputs asked for at start wait for the first processed frame, so a take begins on the
  // look, not on black; a source that never delivers gets them anyway (said on stderr).
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  auto* wait = new QTimer(this);
  connect(wait, &QTimer::timeout, this, [this, wait, path, camera, screen, deadline] {
    if (!control.stageHasFrame() && std::chrono::steady_clock::now() < deadline) return;
    wait->deleteLater();
    if (!camera.empty()) control.startVirtualCamera(camera);
    if (!screen.empty()) {
      // Checked at start-up; a screen gone since is said, not silently skipped.
      const Result<QScreen*> chosen = findScreen(screen);
      if (chosen)
        control.toggleOutputWindow(*chosen);
      else
        std::fprintf(stderr, "videozarnix: no output window: %s\n", chosen.message().c_str());
    }
    if (!path.empty()) control.startRecording(path);
  });
  wait->start(20);
}

}  // namespace vz
