// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QIcon>
#include <functional>
#include <memory>

#include "app/dialog_builder.h"
#include "app/qt_dialog_ops.h"
#include "engine/video_engine.h"
#include "panel/preset_session.h"
#include "source/graph_control.h"
#include "source/source_commands.h"
#include "ui/file_dialogs.h"
#include "ui/message_boxes.h"

namespace vz {

class PreviewWidget;
class TrackBar;

// The main dialog: every control of template 102, the engine, the media graph beside it.
// Handlers act on clicks by control id and on scroll notifications; the dialog paints the
// palette swatches, the colour bars and the current colour itself.
class EffectDialog final : public QDialog {
  Q_OBJECT

 public:
  using GraphFactory = std::function<std::unique_ptr<GraphControl>(VideoEngine&)>;

  EffectDialog(GraphFactory makeGraph, MessageBoxes& boxes, FileDialogs& files);
  ~EffectDialog() override;

  // Initialises (which starts live video), then runs the dialog until it ends.
  int DoModal();
  // Start-up plays fileName (the MPEG command) instead of the camera.
  void startOnFile() { startOnFile_ = true; }
  void OnInitDialog();

  VideoEngine engine;  // first: everything below may refer to it, and goes before it

  TrackBar* colorSlider = nullptr;
  TrackBar* tintBlueSlider = nullptr;
  TrackBar* tintGreenSlider = nullptr;
  TrackBar* outputBlueSlider = nullptr;
  TrackBar* outputGreenSlider = nullptr;
  TrackBar* outputRedSlider = nullptr;
  TrackBar* quantizeBlueSlider = nullptr;
  TrackBar* quantizeGreenSlider = nullptr;
  TrackBar* quantizeRedSlider = nullptr;
  TrackBar* lowPassBlueSlider = nullptr;
  TrackBar* lowPassGreenSlider = nullptr;
  TrackBar* lowPassRedSlider = nullptr;
  TrackBar* floorSlider = nullptr;
  TrackBar* gainBlueSlider = nullptr;
  TrackBar* gainGreenSlider = nullptr;
  TrackBar* gainRedSlider = nullptr;
  TrackBar* tintRedSlider = nullptr;
  PreviewWidget* previewControl = nullptr;
  QIcon appIcon;

  QtDialogOps& dialogOps() { return *ops_; }
  QWidget* control(int id) const { return ops_->control(id); }
  // Marks a client rectangle for repainting with its background erased.
  void invalidateArea(const ClientRect& area) { ops_->invalidateArea(area); }
  int graphReleases() const { return graphReleases_; }

  // Handlers, one per control command.
  void OnVideoRadio();
  void OnMpegRadio();
  void OnSelectMpeg();
  void OnRun();
  void OnStop();
  void OnVideo();
  void OnMpg();
  void OnAviToggle();
  void OnRefresh();
  void OnInvert(int id);
  void OnModeRadio(int id);
  void OnFullScreen();
  void OnPaletteButton(int id);
  void OnRandom();
  void OnRamp();
  void OnLimit();
  void OnRange();
  void OnColorCycle();
  void OnPresetButton(int id);
  void OnSaveToggle();
  void OnSavePresets();
  void OnLoadPresets();
  void OnInfo();
  void OnOK();
  void OnClose();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void bindControls();
  void bindMembers();
  void releaseGraphOnce();
  bool preTranslateKey(QKeyEvent* event);

  MessageBoxes& boxes_;
  FileDialogs& files_;
  BuiltDialog built_;
  std::unique_ptr<QtDialogOps> ops_;
  std::unique_ptr<GraphControl> graph_;
  std::unique_ptr<SourceCommands> source_;
  std::unique_ptr<PresetSession> presets_;
  bool startOnFile_ = false;
  bool graphReleased_ = false;
  int graphReleases_ = 0;
};

// The main dialog's operations, for code that reaches the dialog without a pointer to it.
// Set at the end of the dialog's initialisation.
extern DialogOps* mainDialogWindow;

}  // namespace vz
