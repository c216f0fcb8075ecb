// SPDX-License-Identifier: GPL-3.0-or-later
// Control bindings, full screen, letter keys and colour picking, with real widgets and
// real events on the offscreen platform.
#include <QImage>
#include <QKeyEvent>

#include "tests/dialog_fixture.h"

namespace vz::test {
namespace {

class Panel : public DialogFixture {
 protected:
  std::vector<int> visibleEffectControls() {
    std::vector<int> ids;
    for (int id = kIdInvertRed; id <= kIdColor; ++id)
      if (id != kIdMirror && !w(id)->isHidden()) ids.push_back(id);
    return ids;
  }
};

// A move writes its own settings from the sliders: a horizontal one every horizontal
// setting, a vertical one the vertical ones (running top-down); each leaves the others, even
// where they differ from what their sliders show. Switches toggle on clicks only.
TEST_F(Panel, UserMovesWriteTheirSettings) {
  using E = VideoEngine;
  struct Step {
    int id;
    Qt::Key key;
    std::vector<std::pair<int E::*, int>> then;
  };
  auto run = [&](const std::vector<Step>& steps) {
    for (const Step& step : steps) {
      key(step.id, step.key);
      for (const auto& [field, value] : step.then)
        EXPECT_EQ(engine().*field, value) << "control " << step.id << " key " << step.key;
    }
  };
  engine().tintRed = 500;
  run({{kIdFloor,
        Qt::Key_Home,  // top: position 1
        {{&E::floor, 254}, {&E::colorAmount, 100}, {&E::tintRed, 500}, {&E::lutMaskRed, 0}}},
       {kIdFloor, Qt::Key_End, {{&E::floor, 0}}},
       {kIdColor, Qt::Key_Down, {{&E::colorAmount, 99}}}});  // down lowers the colour
  auto* color = w(kIdColor);  // the top of a vertical slider is its low end
  QTest::mouseClick(color, Qt::LeftButton, {}, QPoint(color->width() / 2, color->height() - 2));
  QApplication::processEvents();
  EXPECT_LT(engine().colorAmount, 99);

  engine().floor = 77, engine().colorAmount = 66, engine().lutMaskGreen = 77;
  run({{kIdGainRed,
        Qt::Key_Right,
        {{&E::gainRed, 1},
         {&E::tintRed, 0},
         {&E::lowPassBlue, 1},
         {&E::lutMaskRed, 15},
         {&E::lutMaskGreen, 15},
         {&E::outputBlue, 0},
         {&E::floor, 77},
         {&E::colorAmount, 66}}},
       {kIdQuantizeBlue, Qt::Key_End, {{&E::quantizeBlue, 7}, {&E::lutMaskBlue, 120}}},
       {kIdQuantizeBlue, Qt::Key_Left, {}},
       {kIdQuantizeBlue, Qt::Key_Left, {{&E::lutMaskBlue, 60}}},
       {kIdTintGreen, Qt::Key_PageDown, {{&E::tintGreen, 153}}},  // a fifth of 0..767
       {kIdGainRed, Qt::Key_PageDown, {{&E::gainRed, 2}}}});      // page size 1 on Gain

  for (int id : {kIdInvertGreen, kIdMirror, kIdMirror, kIdInvertBlue}) click(id);
  EXPECT_EQ(engine().invertGreen, 1);
  EXPECT_EQ(engine().mirror, 0);
  EXPECT_EQ(engine().invertBlue, 1);
}

TEST_F(Panel, EachModeShowsExactlyItsControls) {
  const std::vector<int> all = visibleEffectControls();
  struct Step {
    int radio;
    std::vector<int> visible;
  };
  const std::vector<Step> steps = {
      {kIdModeFirst + 0, {}},
      {kIdModeFirst + 4, {kIdInvertRed, kIdInvertGreen, kIdInvertBlue}},
      {kIdModeFirst + 5,
       {kIdInvertRed, kIdFloor, kIdLowPassRed, kIdQuantizeRed, kIdOutputRed, kIdColor}},
      {kIdModeFirst + 2, {kIdInvertRed}},
      {kIdModeFirst + 1, all},
      {kIdModeFirst + 3, {kIdInvertRed, kIdFloor, kIdQuantizeRed, kIdOutputRed}},
      {kIdModeFirst + 6, {kIdInvertRed, kIdFloor, kIdQuantizeRed, kIdOutputRed}},
  };
  for (const Step& s : steps) {
    click(s.radio);
    EXPECT_EQ(engine().mode, s.radio - kIdModeFirst);
    EXPECT_EQ(visibleEffectControls(), s.visible) << "radio " << s.radio;
    EXPECT_TRUE(w(kIdMirror)->isVisible());
    EXPECT_TRUE(w(kIdFullScreen)->isVisible());
    EXPECT_TRUE(w(kIdLetterQ)->isVisible());
  }
}

// Controls set from code (Refresh, the source radios) run none of their commands.
TEST_F(Panel, RefreshShowsTheSettingsWithoutWritingThemOrChangingVisibility) {
  click(kIdModeFirst);  // Source: effect controls hidden
  engine().mode = 3, engine().mirror = 1;
  engine().floor = 10, engine().colorAmount = 30, engine().gainRed = 999, engine().tintBlue = 5;
  engine().invertGreen = 200;  // a bank byte: any non-zero shows as checked
  button(kIdRefresh)->click();
  ops().checkRadioButton(kIdVideoRadio, kIdMpegRadio, kIdMpegRadio);
  QApplication::processEvents();
  EXPECT_EQ(graph->calls.size(), 3u);
  EXPECT_TRUE(button(kIdModeFirst + 3)->isChecked());
  EXPECT_EQ(ops().sliderPos(kIdFloor), 245);
  EXPECT_EQ(ops().sliderPos(kIdColor), 70);
  EXPECT_EQ(ops().sliderPos(kIdGainRed), 255);  // outside: shown at the end
  EXPECT_EQ(engine().gainRed, 999);
  EXPECT_EQ(engine().floor, 10);
  EXPECT_EQ(engine().invertGreen, 200);
  EXPECT_TRUE(button(kIdInvertGreen)->isChecked());
  EXPECT_TRUE(button(kIdMirror)->isChecked());
  EXPECT_TRUE(visibleEffectControls().empty());
  engine().mode = 9;
  button(kIdRefresh)->click();
  for (int id = kIdModeFirst; id <= kIdModeLast; ++id) EXPECT_FALSE(button(id)->isChecked());
}

TEST_F(Panel, LetterKeysRecallAndRefreshInTheFramedState) {
  storeLook(5, [](VideoEngine& look) { look.mode = 5, look.gainRed = 40, look.floor = 20; });
  key(kIdMirror, Qt::Key_F);
  EXPECT_EQ(engine().mode, 5);
  EXPECT_EQ(engine().gainRed, 40);
  EXPECT_EQ(ops().sliderPos(kIdGainRed), 40);
  EXPECT_EQ(ops().sliderPos(kIdFloor), 235);
  EXPECT_TRUE(button(kIdModeFirst + 5)->isChecked());
  EXPECT_TRUE(w(kIdLowPassRed)->isVisible());
  key(kIdMirror, Qt::Key_Z, Qt::ShiftModifier);  // either case; slot Z was never stored
  EXPECT_EQ(engine().mode, 0);
  EXPECT_EQ(engine().paletteRed[0], 0);
  EXPECT_EQ(ops().sliderPos(kIdFloor), 255);
  EXPECT_EQ(ops().sliderPos(kIdColor), 100);
  EXPECT_TRUE(button(kIdModeFirst)->isChecked());
  EXPECT_EQ(dialog->grab().toImage().pixelColor(848, 22), QColor(Qt::black));  // the swatch
  EXPECT_TRUE(dialog->isVisible());

  // Letters go by key position on layouts without Latin letters: the key where a US
  // keyboard has F, on a Cyrillic layout, is X11 key code 41.
  w(kIdMirror)->setFocus();
  QKeyEvent cyrillic(QEvent::KeyPress, 0x6c1, Qt::NoModifier, 41, 0, 0, QString::fromUtf8("а"));
  QApplication::sendEvent(w(kIdMirror), &cyrillic);
  EXPECT_EQ(engine().gainRed, 40);
  engine().gainRed = 1;
  QTest::keyClick(w(kIdMirror), Qt::Key_F, Qt::AltModifier);  // Alt+letter is not examined
  EXPECT_EQ(engine().gainRed, 1);
}

TEST_F(Panel, KeysTypedInAnotherWindowNeverRecall) {
  QWidget other;  // stands in for a message box or a file dialog
  other.show();
  engine().gainRed = 5, engine().fullScreen = 1;
  QTest::keyClick(&other, Qt::Key_A);
  QTest::keyClick(&other, Qt::Key_Escape);
  EXPECT_EQ(engine().gainRed, 5);
  EXPECT_EQ(engine().fullScreen, 1);
}

TEST_F(Panel, FullScreenFillsTheScreenAndEscapeBringsTheWindowBack) {
  click(kIdFullScreen);
  click(kIdFullScreen);  // twice stays full screen
  const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
  EXPECT_EQ(engine().fullScreen, 1);
  EXPECT_EQ(w(kIdPreview)->geometry(), QRect(QPoint(0, 0), screen));
  EXPECT_TRUE(dialog->windowFlags() & Qt::FramelessWindowHint);

  storeLook(0, [](VideoEngine& look) { look.gainRed = 40, look.mode = 2, look.mirror = 1; });
  key(kIdMirror, Qt::Key_A);  // recalls, leaves the controls while they are out of sight
  EXPECT_EQ(engine().gainRed, 40);
  EXPECT_EQ(ops().sliderPos(kIdGainRed), 0);

  // Back in the framed dialog the controls show the recalled look, so the next move writes
  // it back unchanged rather than the look before.
  key(kIdMirror, Qt::Key_Escape);
  EXPECT_EQ(ops().sliderPos(kIdGainRed), 40);
  EXPECT_TRUE(button(kIdModeFirst + 2)->isChecked());
  EXPECT_TRUE(button(kIdMirror)->isChecked());
  key(kIdGainGreen, Qt::Key_Right);
  EXPECT_EQ(engine().gainRed, 40);
  EXPECT_EQ(engine().mode, 2);
  EXPECT_EQ(engine().fullScreen, 0);
  EXPECT_FALSE(dialog->windowFlags() & Qt::FramelessWindowHint);
  EXPECT_EQ(w(kIdPreview)->geometry(), QRect(0, 0, 720, 480));
  EXPECT_EQ(dialog->frameGeometry().topLeft(), QPoint(0, 0));
  EXPECT_TRUE(dialog->isVisible());
}

TEST_F(Panel, FullScreenKeepsTheKeyboardFocusAcrossItsWindowChanges) {
  int presses = 0;
  QObject::connect(button(kIdFullScreen), &QAbstractButton::clicked, [&] { ++presses; });
  // Enter and Space press the focused Full Screen again, full screen or framed; neither may
  // fall through to the default OK, which would end the program. The modal run outlives
  // every window change and ends only when closed.
  std::vector<bool> shown;
  const int result = inModalRun({
      [&] { realClick(kIdFullScreen); },
      [&] { typeKey(Qt::Key_Return); },
      [&] { typeKey(Qt::Key_Space); },
      [&] { shown.push_back(dialog->isVisible()), typeKey(Qt::Key_Escape); },
      [&] { shown.push_back(dialog->isVisible()), typeKey(Qt::Key_Return); },
      [&] { typeKey(Qt::Key_Escape); },
      [&] { typeKey(Qt::Key_Space); },
  });
  EXPECT_EQ(presses, 5);
  EXPECT_EQ(shown, (std::vector<bool>{true, true}));
  EXPECT_EQ(result, QDialog::Rejected);  // ended by the closing step, not by OK
  EXPECT_EQ(dialog->graphReleases(), 1);
  EXPECT_EQ(engine().fullScreen, 1);
}

// The painted swatches, colour bars, current colour and markers, and clicks on the bars
// through the window picking inside strict bounds.
TEST_F(Panel, ColourBarsPaintAndClicksPickInsideStrictBounds) {
  QImage image = dialog->grab().toImage();
  EXPECT_EQ(image.pixelColor(848, 22), QColor(240, 240, 240));
  EXPECT_EQ(image.pixelColor(848, 12 + 29 * 15 + 10), QColor(0, 0, 0));
  EXPECT_EQ(image.pixelColor(750, 100), QColor(255, 0, 0));
  EXPECT_EQ(image.pixelColor(775, 100), QColor(0, 255, 0));
  EXPECT_EQ(image.pixelColor(800, 266), QColor(0, 0, 255));
  EXPECT_EQ(image.pixelColor(775, 315), QColor(255, 255, 255));
  for (int x : {740, 759, 765, 790, 809})
    EXPECT_EQ(image.pixelColor(x, 12), QColor(Qt::white)) << x;
  EXPECT_EQ(image.pixelColor(750, 14), QColor(255, 0, 0));
  EXPECT_EQ(image.pixelColor(360, 240), QColor(Qt::black));  // the preview before any frame

  clickAt({741, 13});
  EXPECT_EQ(engine().currentRed, 254);
  for (QPoint outside : {QPoint(740, 100), QPoint(750, 12), QPoint(760, 100)}) clickAt(outside);
  EXPECT_EQ(engine().currentRed, 254);
  clickAt({770, 266});
  EXPECT_EQ(engine().currentGreen, 1);
  clickAt({809, 100});
  EXPECT_EQ(engine().currentBlue, 167);
  image = dialog->grab().toImage();
  for (int y = 280; y < 350; y += 23)
    for (int x = 740; x < 810; x += 23) EXPECT_EQ(image.pixelColor(x, y), QColor(254, 1, 167));
  EXPECT_EQ(image.pixelColor(750, 13), QColor(Qt::white));  // red marker at 267 - 254
}

}  // namespace
}  // namespace vz::test
