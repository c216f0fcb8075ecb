#include "app/group_frame.h"

#include <QPainter>
#include <QStyleOptionFrame>

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
  QStyleOptionFrame frame;
  frame.initFrom(this);
  frame.rect = rect().adjusted(0, fontMetrics().height() / 2, 0, 0);
  frame.lineWidth = 1;
  style()->drawPrimitive(QStyle::PE_FrameGroupBox, &frame, &painter, this);
  if (title().isEmpty()) return;
  const QRect text = titleRect();
  painter.fillRect(text, palette().window());
  style()->drawItemText(&painter, text.adjusted(1, 0, -1, 0), Qt::AlignLeft | Qt::AlignTop,
                        palette(), isEnabled(), title(), QPalette::WindowText);
}

}  // namespace vz
