// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <functional>
#include <vector>

class QMenu;
class QWidget;

namespace vz {

class OutputControl;

// The preview's right-click menu: recording (with its codec) now; the virtual camera and
// the output window join it. Built afresh each time it opens, so checks follow the state.
class PreviewMenu final : public QObject {
  Q_OBJECT

 public:
  PreviewMenu(QWidget* preview, OutputControl& outputs);

  // The menu as it would open now; the caller owns it (tests trigger its actions).
  QMenu* build();
  // Items of other features, added at the menu's end each time it is built; each call adds
  // one more group after those given before.
  void setExtraItems(std::function<void(QMenu&)> add) { extraItems_.push_back(std::move(add)); }
  // "Loop Clips": its check shows isOn(), choosing it calls set with the other state.
  void setLoopClips(std::function<bool()> isOn, std::function<void(bool)> set) {
    loopIsOn_ = std::move(isOn);
    setLoop_ = std::move(set);
  }

 private:
  QWidget* preview_;
  OutputControl& outputs_;
  std::vector<std::function<void(QMenu&)>> extraItems_;
  std::function<bool()> loopIsOn_;
  std::function<void(bool)> setLoop_;
};

}  // namespace vz
