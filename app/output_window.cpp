// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/output_window.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>

#include "app/preview_widget.h"
#include "engine/frame_times.h"

namespace vz {

OutputWindow::OutputWindow(QScreen* screen, PreviewWidget& frames,
                           std::function<void(char)> onLetter)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint),
      frames_(&frames),
      screen_(screen),
      onLetter_(std::move(onLetter)) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAutoFillBackground(false);
  setWindowTitle(QStringLiteral("Video Zarnix Output"));
  setCursor(Qt::BlankCursor);
  // Painted at once, before the preview's own repaint is even asked for: a frame reaches
  // this screen no later than the preview.
  connect(&frames, &PreviewWidget::frameArrived, this, [this] {
    if (!isVisible()) return;
    const QRect picture = pictureFor(frames_->shownFrame());
    if (picture == painted_)
      repaint(picture);
    else
      repaint();
  });
  // A screen that goes away takes the window with it.
  connect(qApp, &QGuiApplication::screenRemoved, this, [this](QScreen* gone) {
    if (gone == screen_) close();
  });
}

void OutputWindow::showOnScreen() {
  // The screen first: a window is created on the X screen (or Wayland output) it names, and
  // the geometry below is then read in that screen's desktop.
  setScreen(screen_);
  setGeometry(screen_->geometry());
  showFullScreen();
}

QRect OutputWindow::pictureFor(const FrameMailbox::View& frame) const {
  if (frame.pixels == nullptr) return rect();
  const QSize fitted = QSize(frame.width, frame.height).scaled(size(), Qt::KeepAspectRatio);
  return QRect(QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2), fitted);
}

void OutputWindow::paintEvent(QPaintEvent* event) {
  QPainter p(this);
  const FrameMailbox::View frame = frames_ ? frames_->shownFrame() : FrameMailbox::View{};
  const QRect picture = pictureFor(frame);
  // The bars are black; the picture only where it was exposed. Bars are known to surround
  // the picture after a paint of the whole window, and stay so while it keeps its place.
  for (const QRect& bar : event->region() - picture) p.fillRect(bar, Qt::black);
  if ((QRegion(rect()) - event->region()).isEmpty())
    painted_ = picture;
  else if (picture != painted_)
    painted_ = QRect();
  painter_.paint(p, picture, event->region(), frame);
  if (kFrameTimesOn && frame.callbackStart != lastTraced_) {
    lastTraced_ = frame.callbackStart;
    reportFramePainted(frame.callbackStart, "output");
  }
}

void OutputWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    close();
    return;
  }
  const int key = event->key();
  if (key >= Qt::Key_A && key <= Qt::Key_Z && !(event->modifiers() & Qt::AltModifier) &&
      onLetter_) {
    onLetter_(static_cast<char>('A' + (key - Qt::Key_A)));
    return;
  }
  QWidget::keyPressEvent(event);
}

void OutputWindow::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  emit closed();
}

}  // namespace vz
