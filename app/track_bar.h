// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSlider>

namespace vz {

// A slider with the conventions the dialog code relies on: a vertical one has its low end
// at the top; keys move by the line size (arrows) or page size (Page Up/Down) and Home/End
// go to the ends; every user move (drag, click on the track, key, wheel) is reported by
// `scrolled` once the position stands; setting the position from code reports nothing.
class TrackBar : public QSlider {
  Q_OBJECT

 public:
  TrackBar(Qt::Orientation orientation, QWidget* parent);

  void setTrackRange(int min, int max);
  void setPosition(int pos);  // clamped into the range, no notification
  void setLineSize(int size) { setSingleStep(size); }
  void setPageSize(int size) {
    pageSizeSet_ = true;
    setPageStep(size);
  }

 signals:
  void scrolled(Qt::Orientation orientation);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void notify() { emit scrolled(orientation()); }
  void moveBy(int delta) { moveTo(value() + delta); }
  void moveTo(int pos);

  bool pageSizeSet_ = false;  // until set, the page is a fifth of the range
};

}  // namespace vz
