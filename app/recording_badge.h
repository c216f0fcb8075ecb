// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTimer>
#include <QWidget>
#include <functional>

namespace vz {

class OutputControl;

// "REC m:ss" in red over the preview's top-left corner while a recording runs, in the
// framed dialog only. A child of the preview, so never part of any frame it shows.
class RecordingBadge final : public QWidget {
  Q_OBJECT

 public:
  RecordingBadge(QWidget* preview, OutputControl& outputs, std::function<bool()> fullScreen);
  QString text() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void refresh();

  OutputControl& outputs_;
  std::function<bool()> fullScreen_;
  QTimer tick_;
};

}  // namespace vz
