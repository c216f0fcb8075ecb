// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

#include "engine/frame_mailbox.h"
#include "present/frame_painter.h"

namespace vz {

// The preview control: the target every processed frame is handed to on the streaming
// thread (through the mailbox, never waiting), drawn on the GUI thread stretched to the
// control's whole current size by nearest pixel, upright. Black until the first frame.
// Other windows that show the same picture (the output window) follow it: while any is
// connected to frameArrived(), each frame is taken from the mailbox as it arrives, handed to
// them (shownFrame()) to paint at once, and only then painted here.
class PreviewWidget final : public QWidget {
  Q_OBJECT

 public:
  explicit PreviewWidget(QWidget* parent);

  FrameTarget& frameTarget() { return mailbox_; }
  bool hasShownFrame() const { return mailbox_.hasFrame(); }
  // The frame the preview shows (or, with followers, is about to show); valid until the
  // next frame is taken, which happens only in the event loop.
  const FrameMailbox::View& shownFrame() const { return frame_; }

 signals:
  // A frame came and is shownFrame() now; the preview's own repaint is asked for after the
  // connected windows return, so a window that repaints at once is never behind it.
  void frameArrived();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void onFrame();
  bool hasFollowers() const;

  FrameMailbox mailbox_;
  FramePainter painter_;
  FrameMailbox::View frame_;
  // A frame announced while nobody followed, not yet taken: the mailbox announces no other
  // until it is, so the next paint takes it even if a follower came meanwhile.
  bool owed_ = false;
  int64_t lastTraced_ = 0;
};

}  // namespace vz
