// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/track_bar.h"

#include <QKeyEvent>
#include <QSignalBlocker>

namespace vz {

TrackBar::TrackBar(Qt::Orientation orientation, QWidget* parent) : QSlider(orientation, parent) {
  setTracking(true);
  setSingleStep(1);
  setPageStep(1);
  if (orientation == Qt::Vertical) {
    // Low end at the top, and the mouse wheel and drags follow the drawing.
    setInvertedAppearance(true);
    setInvertedControls(true);
  }
  setRange(0, 100);
  setFocusPolicy(Qt::StrongFocus);
  // Drags and clicks on the track are applied after actionTriggered returns, so the
  // notification is queued to read the position as it then stands.
  connect(
      this, &QAbstractSlider::actionTriggered, this, [this] { notify(); }, Qt::QueuedConnection);
}

void TrackBar::setTrackRange(int min, int max) {
  const QSignalBlocker quiet(this);
  setRange(min, max);
  if (!pageSizeSet_) setPageStep(std::max(1, (max - min) / 5));
}

void TrackBar::setPosition(int pos) {
  const QSignalBlocker quiet(this);
  setValue(std::clamp(pos, minimum(), maximum()));
}

void TrackBar::moveTo(int pos) {
  setPosition(pos);
  notify();
}

void TrackBar::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up:
      moveBy(-singleStep());
      break;
    case Qt::Key_Right:
    case Qt::Key_Down:
      moveBy(singleStep());
      break;
    case Qt::Key_PageUp:
      moveBy(-pageStep());
      break;
    case Qt::Key_PageDown:
      moveBy(pageStep());
      break;
    case Qt::Key_Home:
      moveTo(minimum());
      break;
    case Qt::Key_End:
      moveTo(maximum());
      break;
    default:
      event->ignore();  // the dialog's keyboard handling (Tab, Enter, ...) gets it
      return;
  }
  event->accept();
}

void TrackBar::mouseReleaseEvent(QMouseEvent* event) {
  QSlider::mouseReleaseEvent(event);
  notify();  // the end of a drag or click is a move of its own
}

}  // namespace vz
