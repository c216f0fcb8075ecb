#pragma once

#include <QWidget>

#include "engine/frame_mailbox.h"
#include "present/frame_painter.h"

namespace vz {

// The preview control: the target every processed frame is handed to on the streaming
// thread (through the mailbox, never waiting), drawn on the GUI thread stretched to the
// control's whole current size by nearest pixel, upright. Black until the first frame.
// Other windows that show the same picture (the output window) read the same mailbox on
// the GUI thread: frameArrived() asks them to repaint, latestFrame() is what they paint.
class PreviewWidget final : public QWidget {
  Q_OBJECT

 public:
  explicit PreviewWidget(QWidget* parent);

  FrameTarget& frameTarget() { return mailbox_; }
  bool hasShownFrame() const { return mailbox_.hasFrame(); }
  // GUI thread: the newest frame (or the last one); valid until control returns to the
  // event loop.
  FrameMailbox::View latestFrame() { return mailbox_.latest(); }

 signals:
  // A frame came; emitted before the preview's own repaint is asked for, so a window that
  // repaints on it is painted no later than the preview.
  void frameArrived();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void onFrame();

  FrameMailbox mailbox_;
  FramePainter painter_;
  int64_t lastTraced_ = 0;
};

}  // namespace vz
