// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/preview_badge.h"

#include <QPainter>

namespace vz {

PreviewBadge::PreviewBadge(QWidget* preview, Look look, std::function<QString()> text,
                           std::function<bool()> fullScreen)
    : QWidget(preview), look_(look), read_(std::move(text)), fullScreen_(std::move(fullScreen)) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setAttribute(Qt::WA_NoSystemBackground);
  QFont f = font();
  f.setBold(true);
  f.setPixelSize(16);
  setFont(f);
  setGeometry(look_.geometry);
  connect(&tick_, &QTimer::timeout, this, &PreviewBadge::refresh);
  tick_.start(look_.tickMs);
  refresh();
}

void PreviewBadge::refresh() {
  const QString now = read_();
  const bool show = !now.isEmpty() && !(fullScreen_ && fullScreen_());
  const bool appears = show && !isVisible();
  if (show != isVisible()) setVisible(show);
  if (show && (appears || now != text_)) {
    text_ = now;
    raise();
    update();
  }
}

void PreviewBadge::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  // A dark plate under the text: coloured text on video of its colour could not be read.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 0, 0, 200));
  p.drawRoundedRect(QRectF(rect()), 5, 5);
  int indent = 8;
  if (look_.redDot) {
    p.setBrush(QColor(220, 0, 0));
    p.drawEllipse(QRectF(6, 6, 12, 12));
    indent = 24;
  }
  p.setPen(look_.ink);
  p.drawText(rect().adjusted(indent, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, text_);
}

}  // namespace vz
