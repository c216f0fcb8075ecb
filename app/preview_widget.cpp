#include "app/preview_widget.h"

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

void PreviewWidget::onFrame() {
  emit frameArrived();
  update();
}

void PreviewWidget::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const FrameMailbox::View frame = mailbox_.latest();
  painter_.paint(painter, rect(), event->region(), frame);
  if (kFrameTimesOn && frame.callbackStart != lastTraced_) {
    lastTraced_ = frame.callbackStart;
    reportFramePainted(frame.callbackStart, "preview");
  }
}

}  // namespace vz
