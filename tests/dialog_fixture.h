// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The main dialog on the offscreen platform with scripted boxes and file dialogs, the one
// set-up of every test that drives it: over a graph that records what it is asked (open(),
// what SetUp does), or over the real media graph on test cameras (openWithMedia()), with the
// outputs, their menu and badge beside it when asked.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <functional>
#include <memory>

#include "app/effect_dialog.h"
#include "app/output_setup.h"
#include "app/preview_menu.h"
#include "app/preview_widget.h"
#include "app/qt_message_boxes.h"
#include "presets/preset_slot.h"
#include "res/control_ids.h"
#include "source/media_graph_control.h"
#include "tests/dialog_fakes.h"
#include "tests/media_fakes.h"

namespace vz::test {

// The first action with that text, submenus included.
inline QAction* find(QMenu* menu, const QString& text) {
  for (QAction* a : menu->actions()) {
    if (a->text() == text) return a;
    if (a->menu() != nullptr)
      if (QAction* inner = find(a->menu(), text)) return inner;
  }
  return nullptr;
}

class DialogFixture : public ::testing::Test {
 protected:
  ScriptedBoxes boxes;
  ScriptedFiles files;
  TestDeviceList devices;              // the cameras the real graph finds,
  DeviceList* deviceList = &devices;   // unless a test points it at others
  RecordingGraph* graph = nullptr;     // the recording graph, after open()
  MediaGraphControl* media = nullptr;  // the real one, after openWithMedia()
  std::unique_ptr<OutputStage> stage;  // with the outputs
  std::unique_ptr<EffectDialog> dialog;
  std::unique_ptr<OutputSetup> outputs;

  void SetUp() override { open(); }
  void TearDown() override {
    outputs.reset();
    dialog.reset();
  }

  void open() {
    dialog = std::make_unique<EffectDialog>(
        [this](VideoEngine& e) {
          auto g = std::make_unique<RecordingGraph>(e);
          graph = g.get();
          return g;
        },
        boxes, files);
    show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    QApplication::processEvents();
  }
  void openWithMedia(bool withOutputs = false) {
    if (withOutputs) stage = std::make_unique<OutputStage>();
    dialog = std::make_unique<EffectDialog>(
        [this](VideoEngine& e) {
          auto g = std::make_unique<MediaGraphControl>(e, boxes, *deviceList);
          if (stage) g->graph().setFrameSink(stage.get());
          media = g.get();
          return g;
        },
        boxes, files);
    if (stage)
      outputs = std::make_unique<OutputSetup>(*dialog, *stage, boxes, files, [] {
        return OutputControl::Rate{30, 1};
      });
    show();
  }
  // The dialog on a 160x120 camera of that test pattern, with its outputs; true once a frame
  // is shown.
  bool openOnCamera(const char* pattern = "") {
    devices.add({{"FriendlyName", "Cam"}}, testPattern(160, 120, pattern));
    openWithMedia(true);
    return waitForPicture();
  }

  bool waitForPicture() {
    return QTest::qWaitFor([&] { return dialog->previewControl->hasShownFrame(); }, 10000);
  }

  VideoEngine& engine() { return dialog->engine; }
  // A look made by set() in the dialog's slot `slot`.
  void storeLook(int slot, const std::function<void(VideoEngine&)>& set) {
    VideoEngine look;
    set(look);
    storeSlot(look, slot);
    std::copy_n(look.presetStore, kPresetInts, engine().presetStore);
  }
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

  // The outputs' menu as it would open now: an item chosen (it must be there and enabled),
  // or its check.
  void choose(const QString& text) {
    std::unique_ptr<QMenu> menu(outputs->menu->build());
    QAction* a = find(menu.get(), text);
    ASSERT_NE(a, nullptr) << text.toStdString();
    ASSERT_TRUE(a->isEnabled()) << text.toStdString();
    a->trigger();
  }
  bool checked(const QString& text) {
    std::unique_ptr<QMenu> menu(outputs->menu->build());
    return find(menu.get(), text)->isChecked();
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

 private:
  void show() {
    dialog->OnInitDialog();
    dialog->show();
    QApplication::setActiveWindow(dialog.get());
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
