// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <functional>
#include <memory>

#include "app/effect_dialog.h"
#include "app/qt_message_boxes.h"
#include "res/control_ids.h"
#include "tests/dialog_fakes.h"

namespace vz::test {

// A main dialog with a recording media graph and scripted boxes, initialised and shown on
// the offscreen platform.
class DialogFixture : public ::testing::Test {
 protected:
  ScriptedBoxes boxes;
  ScriptedFiles files;
  RecordingGraph* graph = nullptr;
  std::unique_ptr<EffectDialog> dialog;

  void SetUp() override {
    dialog = std::make_unique<EffectDialog>(
        [this](VideoEngine& e) {
          auto g = std::make_unique<RecordingGraph>(e);
          graph = g.get();
          return g;
        },
        boxes, files);
    dialog->OnInitDialog();
    dialog->show();
    QApplication::setActiveWindow(dialog.get());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    QApplication::processEvents();
  }

  VideoEngine& engine() { return dialog->engine; }
  DialogOps& ops() { return dialog->dialogOps(); }
  QWidget* w(int id) { return dialog->control(id); }
  QAbstractButton* button(int id) { return qobject_cast<QAbstractButton*>(w(id)); }
  void click(int id) { QTest::mouseClick(w(id), Qt::LeftButton); }
  void key(int id, Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    w(id)->setFocus();
    QTest::keyClick(w(id), k, mods);
    QApplication::processEvents();  // queued scroll notifications
  }

  // Real input: a click at client pixel `at` through the dialog's window, so the toolkit
  // picks the receiver by hit-testing as it does for the mouse; a key typed into whichever
  // window has the keyboard.
  void clickAt(QPoint at) {
    QTest::mouseClick(dialog->windowHandle(), Qt::LeftButton, {}, at);
    QApplication::processEvents();
  }
  void realClick(int id) { clickAt(w(id)->geometry().center()); }
  void typeKey(Qt::Key k) {
    QWindow* window = QGuiApplication::focusWindow();
    ASSERT_NE(window, nullptr) << "no window has the keyboard";
    QTest::keyClick(window, k);
    QApplication::processEvents();
  }

  // Runs the steps inside the dialog's own modal run, each in a turn of its loop once the
  // one before has returned (a step may run a nested loop of its own), then closes it.
  int inModalRun(std::vector<std::function<void()>> steps) {
    dialog->hide();
    // Shown again, the window has the keyboard (the offscreen platform, which never took it
    // away, does not say so).
    steps.insert(steps.begin(), [this] { QApplication::setActiveWindow(dialog.get()); });
    steps.push_back([this] { dialog->close(); });
    QObject context;  // pending steps die with it if the run ends early
    std::function<void(size_t)> next = [&](size_t i) {
      QTimer::singleShot(40, &context, [&, i] {
        steps[i]();
        if (i + 1 < steps.size()) next(i + 1);
      });
    };
    next(0);
    return dialog->DoModal();
  }
};

// Real message boxes on Qt, each answered by a key typed into it once it shows (Return when
// the script runs out).
struct TypedAnswerBoxes : MessageBoxes {
  QtMessageBoxes real;
  std::deque<Qt::Key> keys;
  int show(const std::string& text, const std::string& caption, unsigned style) override {
    const Qt::Key k = keys.empty() ? Qt::Key_Return : keys.front();
    if (!keys.empty()) keys.pop_front();
    QTimer::singleShot(40, [k] {
      if (QWidget* box = QApplication::activeModalWidget()) QTest::keyClick(box->windowHandle(), k);
    });
    return real.show(text, caption, style);
  }
};

}  // namespace vz::test
