// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>

#include "present/frame_painter.h"

class QScreen;

namespace vz {

class PreviewWidget;

// A borderless full-screen window on one screen showing only the processed video, scaled to
// fit with its aspect kept (black bars). It follows the preview: paints each frame the
// preview takes, with the preview's painter, straight into its backing store, at once when
// the frame comes and before the preview paints it. A frame of the size before repaints only
// the picture: the bars stay as they are.
// Letter keys go to onLetter ('A'..'Z'); Escape closes it; so does its screen going away.
class OutputWindow final : public QWidget {
  Q_OBJECT

 public:
  OutputWindow(QScreen* screen, PreviewWidget& frames, std::function<void(char)> onLetter);

  // Shows it full screen on its screen: created there (each X screen of a display is a
  // desktop of its own), placed over that monitor, made full screen on that output.
  void showOnScreen();
  QScreen* shownOn() const { return screen_; }

 signals:
  void closed();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // Where a frame of that size goes: fitted, centred; the whole window without a frame.
  QRect pictureFor(const FrameMailbox::View& frame) const;

  QPointer<PreviewWidget> frames_;
  QScreen* screen_;
  std::function<void(char)> onLetter_;
  // Streamed at any size: only the window system reads the picture back, never this
  // process, and ordinary stores would first fetch every line they overwrite.
  FramePainter painter_{0};
  QRect painted_;  // where the last paint put the picture; the bars around it are black
  int64_t lastTraced_ = 0;
};

}  // namespace vz
