// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace vz {

// A small plate of text over the preview's top edge, in the framed dialog only: a child of
// the preview, so never part of any frame it shows, and hidden in full screen. It shows
// while its text is not empty.
class PreviewBadge : public QWidget {
  Q_OBJECT

 public:
  struct Look {
    QRect geometry;
    QColor ink;
    bool redDot = false;  // the recording light before the text
    int tickMs = 250;     // how often the text is read again
  };
  PreviewBadge(QWidget* preview, Look look, std::function<QString()> text,
               std::function<bool()> fullScreen);
  QString text() const { return text_; }
  void refresh();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Look look_;
  std::function<QString()> read_;
  std::function<bool()> fullScreen_;
  QString text_;
  QTimer tick_;
};

}  // namespace vz
