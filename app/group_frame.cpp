// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/group_frame.h"

#include <qdrawutil.h>

#include <QPainter>
#include <QStyle>

namespace vz {

namespace {
constexpr int kTitleInset = 7;  // pixels from the box's left edge to the title
}

QRect GroupFrame::titleRect() const {
  const QFontMetrics metrics = fontMetrics();
  return QRect(kTitleInset, 0, metrics.horizontalAdvance(title()) + 2, metrics.height());
}

void GroupFrame::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  // An etched line of its own: styles put their group box frame below the title.
  qDrawShadeRect(&painter, rect().adjusted(0, fontMetrics().height() / 2 - 1, 0, 0), palette(),
                 true);
  if (title().isEmpty()) return;
  const QRect text = titleRect();
  painter.fillRect(text, palette().window());
  style()->drawItemText(&painter, text.adjusted(1, 0, -1, 0), Qt::AlignLeft | Qt::AlignTop,
                        palette(), isEnabled(), title(), QPalette::WindowText);
}

}  // namespace vz
