// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QGroupBox>

namespace vz {

// A group box drawn the classic way: the frame's top line runs through the middle of the
// title, which sits on it a little in from the left with the background erased behind it.
// It holds no layout; the grouped controls are its siblings and keep their places.
class GroupFrame final : public QGroupBox {
  Q_OBJECT

 public:
  GroupFrame(const QString& title, QWidget* parent) : QGroupBox(title, parent) {}

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QRect titleRect() const;  // where the title is drawn, in the box's own pixels
};

}  // namespace vz
