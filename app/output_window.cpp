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
    if (isVisible()) repaint();
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

void OutputWindow::paintEvent(QPaintEvent* event) {
  QPainter p(this);
  const FrameMailbox::View frame = frames_ ? frames_->shownFrame() : FrameMailbox::View{};
  QRect picture = rect();
  if (frame.pixels != nullptr) {
    const QSize fitted = QSize(frame.width, frame.height).scaled(size(), Qt::KeepAspectRatio);
    picture =
        QRect(QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2), fitted);
  }
  // The bars are black; the picture only where it was exposed.
  for (const QRect& bar : event->region() - picture) p.fillRect(bar, Qt::black);
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
