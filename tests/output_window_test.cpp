// The output window on a second screen (the offscreen platform with two screens): it shows
// the processed video with black bars, a letter key there recalls and refreshes the dialog,
// choosing it again, Escape or its screen going away closes it.
#include "app/output_window.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QScreen>
#include <QTest>
#include <chrono>

#include "app/effect_dialog.h"
#include "app/output_setup.h"
#include "app/preview_menu.h"
#include "app/preview_widget.h"
#include "presets/preset_slot.h"
#include "res/control_ids.h"
#include "source/media_graph_control.h"
#include "tests/dialog_fakes.h"
#include "tests/media_fakes.h"

namespace vz::test {
namespace {

class OutputWindowTest : public ::testing::Test {
 protected:
  ScriptedBoxes boxes;
  ScriptedFiles files;
  TestDeviceList devices;
  OutputStage stage;
  std::unique_ptr<EffectDialog> dialog;
  std::unique_ptr<OutputSetup> outputs;

  void SetUp() override {
    ASSERT_EQ(QGuiApplication::screens().size(), 2) << "needs the two-screen configuration";
    // A still white picture: where the bars end is then plain to see (the moving ball left
    // the middle black most of the time).
    devices.add({{"FriendlyName", "Cam"}}, testPattern(160, 120, "pattern=white"));
    dialog = std::make_unique<EffectDialog>(
        [this](VideoEngine& e) {
          auto g = std::make_unique<MediaGraphControl>(e, boxes, devices);
          g->graph().setFrameSink(&stage);
          return g;
        },
        boxes, files);
    outputs = std::make_unique<OutputSetup>(*dialog, stage, boxes, files, [] {
      return OutputControl::Rate{30, 1};
    });
    dialog->OnInitDialog();
    dialog->show();
    ASSERT_TRUE(waitUntil([&] { return dialog->previewControl->hasShownFrame(); }));
  }
  void TearDown() override {
    outputs.reset();
    dialog.reset();
  }
  template <class Pred>
  bool waitUntil(Pred pred) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!pred() && std::chrono::steady_clock::now() < end) QTest::qWait(20);
    return pred();
  }
  void chooseScreen(const QString& label) {
    std::unique_ptr<QMenu> menu(outputs->menu->build());
    for (QAction* a : menu->actions())
      if (a->menu() != nullptr && a->text() == QStringLiteral("Output Window"))
        for (QAction* s : a->menu()->actions())
          if (s->text() == label) return s->trigger();
    FAIL() << "no menu entry " << label.toStdString();
  }
  OutputWindow* window() { return outputs->control.outputWindow(); }
};

TEST_F(OutputWindowTest, ShowsTheVideoOnTheChosenScreenAndClosesAgain) {
  chooseScreen(QStringLiteral("Projector (1920x1080)"));
  ASSERT_NE(window(), nullptr);
  QScreen* projector = QGuiApplication::screens()[1];
  EXPECT_EQ(window()->shownOn(), projector);
  EXPECT_EQ(window()->geometry(), projector->geometry());
  // Black until the camera's first frame passes; then its white 4:3 picture fills the middle
  // 1440 columns of the 16:9 screen, with black bars left and right.
  QImage shot;
  EXPECT_TRUE(waitUntil([&] {
    shot = window()->grab().toImage();
    return shot.pixelColor(shot.width() / 2, shot.height() / 2) != QColor(Qt::black);
  }));
  for (const int x : {0, 237, 1682, 1919})
    EXPECT_EQ(shot.pixelColor(x, 540), QColor(Qt::black)) << x;
  for (const int x : {242, 960, 1677}) EXPECT_GT(shot.pixelColor(x, 540).value(), 200) << x;
  EXPECT_TRUE(dialog->isVisible());  // the dialog stays on its own screen

  chooseScreen(QStringLiteral("Projector (1920x1080)"));  // chosen again: closed
  EXPECT_EQ(window(), nullptr);
  EXPECT_FALSE(stage.hasBranch(OutputWindow::kBranch));

  chooseScreen(QStringLiteral("Projector (1920x1080)"));
  ASSERT_NE(window(), nullptr);
  QTest::keyClick(window(), Qt::Key_Escape);
  EXPECT_TRUE(waitUntil([&] { return window() == nullptr; }));

  chooseScreen(QStringLiteral("Projector (1920x1080)"));
  ASSERT_NE(window(), nullptr);
  emit qApp->screenRemoved(projector);  // as the platform reports an unplugged screen
  EXPECT_TRUE(waitUntil([&] { return window() == nullptr; }));
}

TEST_F(OutputWindowTest, ALetterThereRecallsAndRefreshesTheDialog) {
  VideoEngine look;
  look.mode = static_cast<uint8_t>(EffectMode::Lut);
  look.gainRed = 77;
  storeSlot(look, 2);
  std::copy(std::begin(look.presetStore), std::end(look.presetStore),
            std::begin(dialog->engine.presetStore));
  chooseScreen(QStringLiteral("Projector (1920x1080)"));
  ASSERT_NE(window(), nullptr);
  QTest::keyClick(window(), Qt::Key_C);
  EXPECT_EQ(dialog->engine.mode, static_cast<uint8_t>(EffectMode::Lut));
  EXPECT_EQ(dialog->engine.gainRed, 77);
  auto* lut = qobject_cast<QAbstractButton*>(dialog->control(kIdModeFirst + 3));
  ASSERT_NE(lut, nullptr);
  EXPECT_TRUE(lut->isChecked());
}

}  // namespace
}  // namespace vz::test
