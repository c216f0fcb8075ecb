#include "app/preview_widget.h"

#include <QMetaObject>
#include <QPainter>

#include "engine/stretch.h"

namespace vz {

PreviewWidget::PreviewWidget(QWidget* parent)
    : QWidget(parent), mailbox_([this] {
        // Streaming thread: queue one repaint; the GUI thread takes the frame when it paints.
        QMetaObject::invokeMethod(this, qOverload<>(&QWidget::update), Qt::QueuedConnection);
      }) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAutoFillBackground(false);
}

void PreviewWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const FrameMailbox::View frame = mailbox_.latest();
  if (frame.pixels == nullptr || width() <= 0 || height() <= 0) {
    painter.fillRect(rect(), Qt::black);
    return;
  }
  if (canvas_.size() != size()) canvas_ = QImage(size(), QImage::Format_BGR888);
  stretchNearest(frame.pixels, frame.width, frame.height, canvas_.bits(), canvas_.width(),
                 canvas_.height(), canvas_.bytesPerLine());
  painter.drawImage(0, 0, canvas_);
}

}  // namespace vz
