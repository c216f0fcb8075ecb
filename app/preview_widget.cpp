// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/preview_widget.h"

#include <QMetaMethod>
#include <QMetaObject>
#include <QPaintEvent>
#include <QPainter>

#include "engine/frame_times.h"

namespace vz {

PreviewWidget::PreviewWidget(QWidget* parent)
    : QWidget(parent), mailbox_([this] {
        // Streaming thread: queue one repaint; the GUI thread takes the frame when it paints.
        QMetaObject::invokeMethod(this, &PreviewWidget::onFrame, Qt::QueuedConnection);
      }) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAutoFillBackground(false);
}

bool PreviewWidget::hasFollowers() const {
  return isSignalConnected(QMetaMethod::fromSignal(&PreviewWidget::frameArrived));
}

void PreviewWidget::onFrame() {
  if (hasFollowers()) {
    frame_ = mailbox_.latest();
    owed_ = false;
    emit frameArrived();
  } else {
    owed_ = true;
  }
  update();
}

void PreviewWidget::paintEvent(QPaintEvent* event) {
  // Alone, the preview takes the newest frame as it paints; followed, it paints the one
  // taken on arrival, which its followers have painted already.
  if (owed_ || !hasFollowers()) {
    frame_ = mailbox_.latest();
    owed_ = false;
  }
  QPainter painter(this);
  painter_.paint(painter, rect(), event->region(), frame_);
  if (kFrameTimesOn && frame_.callbackStart != lastTraced_) {
    lastTraced_ = frame_.callbackStart;
    reportFramePainted(frame_.callbackStart, "preview");
  }
}

}  // namespace vz
