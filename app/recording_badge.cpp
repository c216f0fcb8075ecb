// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/recording_badge.h"

#include <QPainter>

#include "app/output_control.h"

namespace vz {

RecordingBadge::RecordingBadge(QWidget* preview, OutputControl& outputs,
                               std::function<bool()> fullScreen)
    : QWidget(preview), outputs_(outputs), fullScreen_(std::move(fullScreen)) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setAttribute(Qt::WA_NoSystemBackground);
  QFont f = font();
  f.setBold(true);
  f.setPixelSize(16);
  setFont(f);
  setGeometry(8, 8, 110, 24);
  connect(&tick_, &QTimer::timeout, this, &RecordingBadge::refresh);
  connect(&outputs, &OutputControl::recordingChanged, this, &RecordingBadge::refresh);
  tick_.start(250);
  refresh();
}

QString RecordingBadge::text() const {
  const int s = static_cast<int>(outputs_.recordingSeconds());
  return QStringLiteral("REC %1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}

void RecordingBadge::refresh() {
  const bool show = outputs_.recording() && !(fullScreen_ && fullScreen_());
  if (show != isVisible()) setVisible(show);
  if (show) {
    raise();
    update();
  }
}

void RecordingBadge::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  // A dark plate under it: red on red or magenta video could not be read.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 0, 0, 200));
  p.drawRoundedRect(QRectF(rect()), 5, 5);
  p.setBrush(QColor(220, 0, 0));
  p.setPen(Qt::NoPen);
  p.drawEllipse(QRectF(6, 6, 12, 12));
  p.setPen(QColor(255, 40, 40));
  p.drawText(rect().adjusted(24, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, text());
}

}  // namespace vz
