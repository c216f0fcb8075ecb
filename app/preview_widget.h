#pragma once

#include <QWidget>

#include "engine/frame_mailbox.h"
#include "present/frame_painter.h"

namespace vz {

// The preview control: the target every processed frame is handed to on the streaming
// thread (through the mailbox, never waiting), drawn on the GUI thread stretched to the
// control's whole current size by nearest pixel, upright. Black until the first frame.
class PreviewWidget final : public QWidget {
  Q_OBJECT

 public:
  explicit PreviewWidget(QWidget* parent);

  FrameTarget& frameTarget() { return mailbox_; }
  bool hasShownFrame() const { return mailbox_.hasFrame(); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  FrameMailbox mailbox_;
  FramePainter painter_;
  int64_t lastTraced_ = 0;
};

}  // namespace vz
