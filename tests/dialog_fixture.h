#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QTest>
#include <memory>

#include "app/effect_dialog.h"
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
};

}  // namespace vz::test
