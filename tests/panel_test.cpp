// Control bindings, full screen, letter keys and colour picking, with real widgets and
// real events on the offscreen platform.
#include <QImage>
#include <QKeyEvent>
#include <QTimer>

#include "engine/engine_callback.h"
#include "presets/preset_slot.h"
#include "tests/dialog_fixture.h"
#include "tests/test_frames.h"

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

TEST_F(Panel, OneHorizontalMoveRewritesEveryHorizontalSetting) {
  engine().tintRed = 500;  // not what the slider shows: the move rewrites it
  engine().lutMaskGreen = 77;
  key(kIdGainRed, Qt::Key_Right);
  EXPECT_EQ(engine().gainRed, 1);
  EXPECT_EQ(engine().tintRed, 0);
  EXPECT_EQ(engine().lowPassBlue, 1);
  EXPECT_EQ(engine().lutMaskRed, 15);
  EXPECT_EQ(engine().lutMaskGreen, 15);
  EXPECT_EQ(engine().outputBlue, 0);
  EXPECT_EQ(engine().floor, 0);  // vertical settings untouched
  EXPECT_EQ(engine().colorAmount, 0);

  key(kIdQuantizeBlue, Qt::Key_End);
  EXPECT_EQ(engine().quantizeBlue, 7);
  EXPECT_EQ(engine().lutMaskBlue, 120);
  key(kIdQuantizeBlue, Qt::Key_Left);
  key(kIdQuantizeBlue, Qt::Key_Left);
  EXPECT_EQ(engine().lutMaskBlue, 60);
  key(kIdTintGreen, Qt::Key_PageDown);  // a fifth of 0..767
  EXPECT_EQ(engine().tintGreen, 153);
  key(kIdGainRed, Qt::Key_PageDown);  // page size 1 on Gain
  EXPECT_EQ(engine().gainRed, 2);
}

TEST_F(Panel, VerticalSlidersRunTopDownAndWriteFloorAndColour) {
  key(kIdFloor, Qt::Key_Home);  // top: position 1
  EXPECT_EQ(engine().floor, 254);
  EXPECT_EQ(engine().colorAmount, 100);
  EXPECT_EQ(engine().gainRed, 0);  // horizontal settings untouched
  EXPECT_EQ(engine().lutMaskRed, 0);
  key(kIdFloor, Qt::Key_End);
  EXPECT_EQ(engine().floor, 0);
  key(kIdColor, Qt::Key_Down);  // down lowers the colour
  EXPECT_EQ(engine().colorAmount, 99);
  // The top of a vertical slider is its low end.
  auto* color = w(kIdColor);
  QTest::mouseClick(color, Qt::LeftButton, {}, QPoint(color->width() / 2, color->height() - 2));
  QApplication::processEvents();
  EXPECT_LT(engine().colorAmount, 99);
}

TEST_F(Panel, PositioningFromCodeWritesNothing) {
  ops().setSliderPos(kIdGainRed, 200);
  ops().setSliderPos(kIdFloor, 300);  // outside: shown at the end
  QApplication::processEvents();
  EXPECT_EQ(engine().gainRed, 0);
  EXPECT_EQ(ops().sliderPos(kIdFloor), 255);
  EXPECT_EQ(engine().floor, 0);
}

TEST_F(Panel, SwitchesToggleOnClicksOnly) {
  click(kIdInvertGreen);
  click(kIdMirror);
  click(kIdMirror);
  click(kIdInvertBlue);
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

TEST_F(Panel, RefreshShowsTheSettingsWithoutWritingThemOrChangingVisibility) {
  click(kIdModeFirst);  // Source: effect controls hidden
  engine().mode = 3;
  engine().floor = 10, engine().colorAmount = 30, engine().gainRed = 999, engine().tintBlue = 5;
  engine().invertGreen = 200;  // a bank byte: any non-zero shows as checked
  engine().mirror = 1;
  button(kIdRefresh)->click();
  EXPECT_TRUE(button(kIdModeFirst + 3)->isChecked());
  EXPECT_EQ(ops().sliderPos(kIdFloor), 245);
  EXPECT_EQ(ops().sliderPos(kIdColor), 70);
  EXPECT_EQ(ops().sliderPos(kIdGainRed), 255);
  EXPECT_EQ(engine().gainRed, 999);
  EXPECT_TRUE(button(kIdInvertGreen)->isChecked());
  EXPECT_TRUE(button(kIdMirror)->isChecked());
  EXPECT_TRUE(visibleEffectControls().empty());
  engine().mode = 9;
  button(kIdRefresh)->click();
  for (int id = kIdModeFirst; id <= kIdModeLast; ++id) EXPECT_FALSE(button(id)->isChecked());
}

TEST_F(Panel, LetterKeysRecallAndRefreshInTheFramedState) {
  VideoEngine look;
  look.mode = 5, look.gainRed = 40, look.floor = 20;
  storeSlot(look, 5);
  std::copy_n(look.presetStore, kPresetInts, engine().presetStore);
  ops().checkDlgButton(kIdSaveToggle, true);
  engine().saveArmed = 1;  // keys always recall
  key(kIdMirror, Qt::Key_F);
  EXPECT_EQ(engine().mode, 5);
  EXPECT_EQ(engine().gainRed, 40);
  EXPECT_EQ(ops().sliderPos(kIdGainRed), 40);
  EXPECT_EQ(ops().sliderPos(kIdFloor), 235);
  EXPECT_TRUE(button(kIdModeFirst + 5)->isChecked());
  EXPECT_EQ(visibleEffectControls(), (std::vector<int>{kIdInvertRed, kIdFloor, kIdLowPassRed,
                                                       kIdQuantizeRed, kIdOutputRed, kIdColor}));
  key(kIdMirror, Qt::Key_Z, Qt::ShiftModifier);  // either case; slot Z is empty
  EXPECT_EQ(engine().mode, 0);
  EXPECT_EQ(ops().sliderPos(kIdFloor), 255);
  EXPECT_EQ(ops().sliderPos(kIdColor), 100);
  EXPECT_TRUE(dialog->isVisible());
}

TEST_F(Panel, LettersGoByKeyPositionOnLayoutsWithoutLatinLetters) {
  VideoEngine look;
  look.gainRed = 33;
  storeSlot(look, 0);
  std::copy_n(look.presetStore, kPresetInts, engine().presetStore);
  w(kIdMirror)->setFocus();
  // The key where a US keyboard has A, on a Cyrillic layout: X11 key code 38.
  QKeyEvent cyrillic(QEvent::KeyPress, 0x6c6, Qt::NoModifier, 38, 0, 0, QString::fromUtf8("ф"));
  QApplication::sendEvent(w(kIdMirror), &cyrillic);
  EXPECT_EQ(engine().gainRed, 33);
  engine().gainRed = 1;
  QTest::keyClick(w(kIdMirror), Qt::Key_A, Qt::AltModifier);  // Alt+letter is not examined
  EXPECT_EQ(engine().gainRed, 1);
}

TEST_F(Panel, KeysTypedInAnotherWindowNeverRecall) {
  QWidget other;  // stands in for a message box or a file dialog
  other.show();
  engine().gainRed = 5;
  engine().fullScreen = 1;
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

  VideoEngine look;
  look.gainRed = 40, look.mode = 2;
  storeSlot(look, 0);
  std::copy_n(look.presetStore, kPresetInts, engine().presetStore);
  key(kIdMirror, Qt::Key_A);  // recalls, leaves the controls
  EXPECT_EQ(engine().gainRed, 40);
  EXPECT_EQ(ops().sliderPos(kIdGainRed), 0);

  key(kIdMirror, Qt::Key_Escape);
  EXPECT_EQ(engine().fullScreen, 0);
  EXPECT_FALSE(dialog->windowFlags() & Qt::FramelessWindowHint);
  EXPECT_EQ(w(kIdPreview)->geometry(), QRect(0, 0, 720, 480));
  EXPECT_EQ(dialog->frameGeometry().topLeft(), QPoint(0, 0));
  EXPECT_TRUE(dialog->isVisible());
  key(kIdMirror, Qt::Key_Escape);  // framed already: the same, never a close
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(dialog->graphReleases(), 0);
}

TEST_F(Panel, TheModalRunOutlivesFullScreenAndEndsOnlyWhenClosed) {
  dialog->hide();
  std::vector<std::string> seen;
  // Each step in a turn of the loop of its own: the run must survive every one.
  QTimer::singleShot(0, dialog.get(), [&] { click(kIdFullScreen); });
  QTimer::singleShot(30, dialog.get(), [&] {
    seen.push_back(dialog->isVisible() ? "full screen, shown" : "hidden");
    key(kIdMirror, Qt::Key_Escape);
  });
  QTimer::singleShot(60, dialog.get(), [&] {
    seen.push_back(dialog->isVisible() ? "framed, shown" : "hidden");
    dialog->close();
  });
  const int result = dialog->DoModal();
  EXPECT_EQ(seen, (std::vector<std::string>{"full screen, shown", "framed, shown"}));
  EXPECT_EQ(result, QDialog::Rejected);
  EXPECT_EQ(dialog->graphReleases(), 1);
}

TEST_F(Panel, FullScreenKeepsTheKeyboardFocusAcrossItsWindowChanges) {
  int presses = 0;
  QObject::connect(button(kIdFullScreen), &QAbstractButton::clicked, [&] { ++presses; });
  // Enter and Space press the focused Full Screen again, full screen or framed; neither may
  // fall through to the default OK, which would end the program.
  const int result = inModalRun({
      [&] { realClick(kIdFullScreen); },
      [&] { typeKey(Qt::Key_Return); },
      [&] { typeKey(Qt::Key_Space); },
      [&] { typeKey(Qt::Key_Escape); },
      [&] { typeKey(Qt::Key_Return); },
      [&] { typeKey(Qt::Key_Escape); },
      [&] { typeKey(Qt::Key_Space); },
  });
  EXPECT_EQ(presses, 5);
  EXPECT_EQ(result, QDialog::Rejected);  // ended by the closing step, not by OK
  EXPECT_EQ(engine().fullScreen, 1);
}

TEST_F(Panel, ColourBarClicksPickInsideStrictBounds) {
  auto clickAt = [&](int x, int y) {
    QTest::mouseClick(dialog.get(), Qt::LeftButton, {}, QPoint(x, y));
  };
  clickAt(741, 13);
  EXPECT_EQ(engine().currentRed, 254);
  clickAt(740, 100);
  clickAt(750, 12);
  clickAt(760, 100);
  EXPECT_EQ(engine().currentRed, 254);
  clickAt(770, 266);
  EXPECT_EQ(engine().currentGreen, 1);
  clickAt(809, 100);
  EXPECT_EQ(engine().currentBlue, 167);
  QApplication::processEvents();
  const QImage image = dialog->grab().toImage();
  for (int y = 280; y < 350; y += 23)
    for (int x = 740; x < 810; x += 23) EXPECT_EQ(image.pixelColor(x, y), QColor(254, 1, 167));
  EXPECT_EQ(image.pixelColor(750, 13), QColor(Qt::white));  // red marker at 267 - 254
}

TEST_F(Panel, ASliderMoveReachesTheNextFrame) {
  EngineCallback callback(engine());
  callback.setTarget(graph->target);
  click(kIdModeFirst + 4);  // Color Inv
  Frame frame = uniformFrame(4, 4, 10, 20, 30);
  callback.SampleCB(frame.data(), 4, 4);
  EXPECT_EQ(frame[2], 10);
  click(kIdInvertRed);
  frame = uniformFrame(4, 4, 10, 20, 30);
  callback.SampleCB(frame.data(), 4, 4);
  EXPECT_EQ(frame[2], 245);
  click(kIdModeFirst + 1);  // Overflow: the first move sets every horizontal gain
  key(kIdGainRed, Qt::Key_End);
  EXPECT_EQ(engine().gainRed, 255);
}

}  // namespace
}  // namespace vz::test
