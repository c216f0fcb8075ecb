// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/preview_menu.h"

#include <QActionGroup>
#include <QGuiApplication>
#include <QMenu>
#include <QPointer>
#include <QScreen>
#include <QWidget>

#include "app/output_control.h"
#include "app/output_window.h"
#include "app/screen_choice.h"

namespace vz {

PreviewMenu::PreviewMenu(QWidget* preview, OutputControl& outputs)
    : QObject(preview), preview_(preview), outputs_(outputs) {
  preview->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(preview, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    QMenu* menu = build();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(preview_->mapToGlobal(at));
  });
}

QMenu* PreviewMenu::build() {
  auto* menu = new QMenu(preview_);
  const bool recording = outputs_.recording();
  QAction* record = menu->addAction(tr("Record..."), &outputs_, &OutputControl::recordAs);
  record->setCheckable(true);
  record->setChecked(recording);
  record->setShortcut(Qt::Key_F9);
  record->setEnabled(!recording);
  QAction* stop = menu->addAction(tr("Stop Recording"), &outputs_, &OutputControl::stopRecording);
  stop->setEnabled(recording);

  QMenu* codecs = menu->addMenu(tr("Recording Codec"));
  auto* group = new QActionGroup(codecs);
  const struct {
    const char* label;
    const char* name;
  } kCodecs[] = {{"Default for the file type", ""},
                 {"H.264", "h264"},
                 {"VP8", "vp8"},
                 {"VP9", "vp9"},
                 {"FFV1 (lossless, .mkv)", "ffv1"}};
  for (const auto& c : kCodecs) {
    QAction* a = codecs->addAction(tr(c.label));
    a->setCheckable(true);
    a->setChecked(outputs_.recordCodec() == c.name);
    a->setActionGroup(group);
    const std::string name = c.name;
    connect(a, &QAction::triggered, &outputs_, [this, name] { outputs_.setRecordCodec(name); });
  }
  codecs->setEnabled(!recording);

  menu->addSeparator();
  // Checked only while offered; while its daemon is away the item says so, and choosing it
  // gives up the wait.
  QAction* camera = menu->addAction(
      outputs_.cameraWaiting() ? tr("Virtual Camera (waiting for PipeWire)") : tr("Virtual Camera"),
      &outputs_, &OutputControl::toggleVirtualCamera);
  camera->setCheckable(true);
  camera->setChecked(outputs_.cameraOn());

  QMenu* screens = menu->addMenu(tr("Output Window"));
  for (QScreen* screen : QGuiApplication::screens()) {
    QAction* a = screens->addAction(describeScreen(screen));
    a->setCheckable(true);
    a->setChecked(outputs_.outputWindow() != nullptr &&
                  outputs_.outputWindow()->shownOn() == screen);
    QPointer<QScreen> target(screen);
    connect(a, &QAction::triggered, &outputs_, [this, target] {
      if (target) outputs_.toggleOutputWindow(target);
    });
  }
  if (loopIsOn_ && setLoop_) {
    menu->addSeparator();
    QAction* loop = menu->addAction(tr("Loop Clips"));
    loop->setCheckable(true);
    loop->setChecked(loopIsOn_());
    connect(loop, &QAction::toggled, this, [this](bool on) { setLoop_(on); });
  }
  for (const auto& add : extraItems_) add(*menu);
  return menu;
}

}  // namespace vz
