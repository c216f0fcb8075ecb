// SPDX-License-Identifier: GPL-3.0-or-later
// The output window on another screen (the offscreen platform with three screens, two of
// them named alike): it shows the preview's frames with black bars on the screen chosen by
// index or name, a letter key there recalls and refreshes the dialog, choosing it again,
// Escape or its screen going away closes it.
#include "app/output_window.h"

#include <QScreen>

#include "app/screen_choice.h"
#include "tests/dialog_fixture.h"

namespace vz::test {
namespace {

class OutputWindowTest : public DialogFixture {
 protected:
  void SetUp() override {
    ASSERT_EQ(QGuiApplication::screens().size(), 3) << "needs the three-screen configuration";
    // A still white picture: where the bars end is then plain to see (the moving ball left
    // the middle black most of the time).
    ASSERT_TRUE(openOnCamera("pattern=white"));
  }
  OutputWindow* window() { return outputs->control.outputWindow(); }
};

TEST_F(OutputWindowTest, ShowsTheVideoOnTheChosenScreenAndClosesAgain) {
  choose(QStringLiteral("1: Projector 1920x1080"));
  ASSERT_NE(window(), nullptr);
  QScreen* projector = QGuiApplication::screens()[1];
  EXPECT_EQ(window()->shownOn(), projector);
  EXPECT_EQ(window()->geometry(), projector->geometry());
  // Black until the camera's first frame passes; then its white 4:3 picture fills the middle
  // 1440 columns of the 16:9 screen, with black bars left and right.
  QImage shot;
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        shot = window()->grab().toImage();
        return shot.pixelColor(shot.width() / 2, shot.height() / 2) != QColor(Qt::black);
      },
      10000));
  for (const int x : {0, 237, 1682, 1919})
    EXPECT_EQ(shot.pixelColor(x, 540), QColor(Qt::black)) << x;
  for (const int x : {242, 960, 1677}) EXPECT_GT(shot.pixelColor(x, 540).value(), 200) << x;
  EXPECT_TRUE(dialog->isVisible());  // the dialog stays on its own screen
  // It paints the preview's frames itself: the output stage stays idle.
  EXPECT_FALSE(stage->running());
  // The preview shows the same picture.
  const QImage preview = dialog->previewControl->grab().toImage();
  EXPECT_GT(preview.pixelColor(preview.rect().center()).value(), 200);

  choose(QStringLiteral("1: Projector 1920x1080"));  // chosen again: closed
  EXPECT_EQ(window(), nullptr);

  choose(QStringLiteral("1: Projector 1920x1080"));
  ASSERT_NE(window(), nullptr);
  QTest::keyClick(window(), Qt::Key_Escape);
  EXPECT_TRUE(QTest::qWaitFor([&] { return window() == nullptr; }, 10000));

  choose(QStringLiteral("1: Projector 1920x1080"));
  ASSERT_NE(window(), nullptr);
  emit qApp->screenRemoved(projector);  // as the platform reports an unplugged screen
  EXPECT_TRUE(QTest::qWaitFor([&] { return window() == nullptr; }, 10000));
}

TEST_F(OutputWindowTest, TheMenuNamesEachScreenByIndexNameAndSize) {
  std::unique_ptr<QMenu> menu(outputs->menu->build());
  QMenu* screens = find(menu.get(), QStringLiteral("Output Window"))->menu();
  ASSERT_NE(screens, nullptr);
  QStringList labels;
  for (QAction* a : screens->actions()) labels << a->text();
  EXPECT_EQ(labels, QStringList({"0: Laptop 1280x800", "1: Projector 1920x1080",
                                 "2: Projector 1920x1080"}));
  // The second of the two alike: on that very screen.
  choose(QStringLiteral("2: Projector 1920x1080"));
  ASSERT_NE(window(), nullptr);
  EXPECT_EQ(window()->shownOn(), QGuiApplication::screens()[2]);
  EXPECT_EQ(window()->screen(), QGuiApplication::screens()[2]);
  // (The offscreen platform gives screens of one name one geometry; X keeps them apart.)
  EXPECT_EQ(window()->geometry(), QGuiApplication::screens()[2]->geometry());
  EXPECT_TRUE(checked(QStringLiteral("2: Projector 1920x1080")));
  EXPECT_FALSE(checked(QStringLiteral("1: Projector 1920x1080")));
  // Another screen chosen: the window moves there.
  choose(QStringLiteral("0: Laptop 1280x800"));
  ASSERT_NE(window(), nullptr);
  EXPECT_EQ(window()->screen(), QGuiApplication::screens()[0]);
  EXPECT_EQ(window()->geometry(), QRect(0, 0, 1280, 800));
}

TEST(ScreenChoiceTest, ByIndexOrByANameOnlyOneScreenHas) {
  const std::string all =
      "; the screens are 0: Laptop 1280x800, 1: Projector 1920x1080, 2: Projector 1920x1080";
  const struct {
    const char* asked;
    int screen;  // -1: none
    std::string error;
  } cases[] = {
      {"0", 0, ""},
      {"2", 2, ""},
      {"Laptop", 0, ""},
      {" 1 ", 1, ""},
      {"3", -1, "no screen 3" + all},
      {"-1", -1, "no screen -1" + all},
      {"HDMI-1", -1, "no screen named HDMI-1" + all},
      {"laptop", -1, "no screen named laptop" + all},
      {"Projector", -1, "more than one screen is named Projector; give its number" + all},
  };
  for (const auto& c : cases) {
    const Result<QScreen*> chosen = findScreen(c.asked);
    EXPECT_EQ(chosen ? *chosen : nullptr,
              c.screen < 0 ? nullptr : QGuiApplication::screens()[c.screen])
        << c.asked;
    EXPECT_EQ(chosen.message(), c.error) << c.asked;
  }
}

TEST_F(OutputWindowTest, ALetterThereRecallsAndRefreshesTheDialog) {
  storeLook(2, [](VideoEngine& look) { look.mode = 3, look.gainRed = 77; });  // LUT
  choose(QStringLiteral("1: Projector 1920x1080"));
  ASSERT_NE(window(), nullptr);
  QTest::keyClick(window(), Qt::Key_C);
  EXPECT_EQ(engine().mode, 3);
  EXPECT_EQ(engine().gainRed, 77);
  EXPECT_TRUE(button(kIdModeFirst + 3)->isChecked());
}

}  // namespace
}  // namespace vz::test
