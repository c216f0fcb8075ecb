// The output window on a second screen (the offscreen platform with two screens): it shows
// the processed video with black bars, a letter key there recalls and refreshes the dialog,
// choosing it again, Escape or its screen going away closes it.
#include "app/output_window.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QScreen>

#include "presets/preset_slot.h"
#include "res/control_ids.h"
#include "tests/output_dialog_fixture.h"

namespace vz::test {
namespace {

class OutputWindowTest : public OutputDialogFixture {
 protected:
  void SetUp() override {
    ASSERT_EQ(QGuiApplication::screens().size(), 2) << "needs the two-screen configuration";
    // A still white picture: where the bars end is then plain to see (the moving ball left
    // the middle black most of the time).
    ASSERT_TRUE(startDialog("pattern=white"));
  }
  OutputWindow* window() { return outputs->control.outputWindow(); }
};

TEST_F(OutputWindowTest, ShowsTheVideoOnTheChosenScreenAndClosesAgain) {
  choose(QStringLiteral("Projector (1920x1080)"));
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

  choose(QStringLiteral("Projector (1920x1080)"));  // chosen again: closed
  EXPECT_EQ(window(), nullptr);
  EXPECT_FALSE(stage.hasBranch(OutputWindow::kBranch));

  choose(QStringLiteral("Projector (1920x1080)"));
  ASSERT_NE(window(), nullptr);
  QTest::keyClick(window(), Qt::Key_Escape);
  EXPECT_TRUE(waitUntil([&] { return window() == nullptr; }));

  choose(QStringLiteral("Projector (1920x1080)"));
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
  choose(QStringLiteral("Projector (1920x1080)"));
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
