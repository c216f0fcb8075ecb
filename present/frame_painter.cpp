// SPDX-License-Identifier: GPL-3.0-or-later
#include "present/frame_painter.h"

#include <QPaintEngine>
#include <QPainter>

namespace vz {
namespace {

bool isOpaqueWordFormat(QImage::Format f) {
  return f == QImage::Format_RGB32 || f == QImage::Format_ARGB32 ||
         f == QImage::Format_ARGB32_Premultiplied;
}

}  // namespace

void FramePainter::paint(QPainter& painter, const QRect& target, const QRegion& exposed,
                         const FrameMailbox::View& frame) {
  if (frame.pixels == nullptr || target.isEmpty()) {
    painter.fillRect(target, Qt::black);
    return;
  }
  if (paintIntoDevice(painter, target, exposed, frame)) return;

  const QRect area = (exposed & target).boundingRect();
  if (area.isEmpty()) return;
  if (canvas_.size() != area.size()) canvas_ = QImage(area.size(), QImage::Format_RGB32);
  const NearestStretch::Area a{area.left() - target.left(), area.top() - target.top(),
                               area.right() + 1 - target.left(), area.bottom() + 1 - target.top()};
  stretch_.draw(frame.pixels, frame.width, frame.height, target.width(), target.height(), a,
                reinterpret_cast<uint32_t*>(canvas_.bits()), canvas_.bytesPerLine());
  painter.drawImage(area.topLeft(), canvas_);
}

bool FramePainter::paintIntoDevice(QPainter& painter, const QRect& target, const QRegion& exposed,
                                   const FrameMailbox::View& frame) {
  QPaintEngine* engine = painter.paintEngine();
  if (engine == nullptr || engine->type() != QPaintEngine::Raster) return false;
  QPaintDevice* device = engine->paintDevice();
  if (device == nullptr || device->devType() != QInternal::Image) return false;
  auto* image = static_cast<QImage*>(device);
  const QTransform t = painter.deviceTransform();
  if (!isOpaqueWordFormat(image->format()) || t.type() > QTransform::TxTranslate ||
      t.dx() != qRound(t.dx()) || t.dy() != qRound(t.dy()) || painter.opacity() != 1.0)
    return false;

  // Everything in device pixels: the widget's place in the backing store, the part asked
  // for, the system clip the window system set for this paint, and the painter's own clip.
  const QPoint offset(qRound(t.dx()), qRound(t.dy()));
  const QRect place = target.translated(offset);
  QRegion region = exposed.translated(offset) & place & image->rect();
  if (!engine->systemClip().isEmpty()) region &= engine->systemClip();
  if (painter.hasClipping()) region &= painter.clipRegion().translated(offset);

  // The same bytes the raster engine paints into; bits() could detach a copy.
  auto* pixels = const_cast<uchar*>(image->constBits());
  const qsizetype stride = image->bytesPerLine();
  for (const QRect& r : region) {
    const NearestStretch::Area a{r.left() - place.left(), r.top() - place.top(),
                                 r.right() + 1 - place.left(), r.bottom() + 1 - place.top()};
    stretch_.draw(frame.pixels, frame.width, frame.height, place.width(), place.height(), a,
                  reinterpret_cast<uint32_t*>(pixels + r.top() * stride + r.left() * 4), stride);
  }
  return true;
}

}  // namespace vz
