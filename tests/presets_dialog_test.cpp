// SPDX-License-Identifier: GPL-3.0-or-later
// Letter buttons, the Save toggle, the palette buttons and the bank commands, clicked on
// the offscreen dialog with scripted file dialogs and message boxes.
#include <QImage>

#include "presets/preset_slot.h"
#include "tests/dialog_fixture.h"
#include "tests/scratch_dir.h"

namespace vz::test {
namespace {

namespace fs = std::filesystem;

class Presets : public DialogFixture {
 protected:
  ScratchDir dir{"vz-presets"};
  int letter(char c) { return kIdLetterA + (c - 'A'); }
};

TEST_F(Presets, StoreWithSavePressedThenRecallRestoresTheLook) {
  click(kIdModeFirst + 3);  // LUT
  key(kIdGainRed, Qt::Key_End);
  click(kIdInvertRed);
  click(kIdRange);
  click(kIdPaletteFirst + 2);  // a half-finished Range travels with the look
  engine().floor = 20;         // not what its slider shows
  click(kIdSaveToggle);
  EXPECT_TRUE(button(kIdSaveToggle)->isChecked());
  click(letter('G'));
  EXPECT_EQ(ops().sliderPos(kIdFloor), 235);  // a store refreshes the controls too
  click(kIdInvertRed);
  key(kIdMirror, Qt::Key_G);  // with Save pressed, keys still recall
  EXPECT_EQ(engine().invertRed, 1);
  click(kIdSaveToggle);
  EXPECT_EQ(engine().saveArmed, 0);

  click(kIdModeFirst + 1);
  click(kIdInvertRed);
  key(kIdGainRed, Qt::Key_Home);
  click(kIdColorCycle);
  click(letter('G'));
  EXPECT_EQ(engine().mode, 3);
  EXPECT_EQ(engine().gainRed, 255);
  EXPECT_EQ(engine().invertRed, 1);
  EXPECT_EQ(engine().rampState, 16 + 2);
  EXPECT_EQ(engine().colorCycle, 1);  // not part of a look
  EXPECT_EQ(ops().sliderPos(kIdGainRed), 255);
  EXPECT_TRUE(button(kIdInvertRed)->isChecked());
  EXPECT_TRUE(button(kIdModeFirst + 3)->isChecked());
  EXPECT_TRUE(w(kIdGainRed)->isHidden());  // LUT's own controls again

  engine().paletteRed[6] = 0;
  click(kIdPaletteFirst + 6);  // the recalled Range completes: 208 down to 0 in steps of 52
  EXPECT_EQ(engine().rampState, 0);
  EXPECT_EQ(engine().paletteRed[3], 156);
}

TEST_F(Presets, BankSaveAndLoadWithTheirTitlesAndMessages) {
  const std::string path = (dir / "looks.pvl").string();
  engine().presetStore[100] = 300;
  engine().fullScreen = 1;
  files.answers = {path};
  click(kIdSavePresets);
  ASSERT_EQ(files.requests.size(), 1u);
  EXPECT_TRUE(files.wasSave[0]);
  EXPECT_EQ(files.requests[0].flags, 0x0006u);
  EXPECT_EQ(dialog->windowTitle().toStdString(), "BANK:  " + path);
  EXPECT_EQ(engine().fullScreen, 0);
  EXPECT_EQ(fs::file_size(path), 3840u);

  engine().presetStore[100] = 1;
  dialog->setWindowTitle("before");
  files.answers = {std::nullopt};  // cancelled: nothing, not even the title
  click(kIdLoadPresets);
  EXPECT_EQ(dialog->windowTitle(), "before");
  EXPECT_EQ(files.requests.back().flags, 0x1004u);
  files.answers = {path};
  click(kIdLoadPresets);
  EXPECT_EQ(engine().presetStore[100], 44);
  EXPECT_TRUE(boxes.shown.empty());

  const std::string shortFile = (dir / "short.pvl").string();
  std::ofstream(shortFile) << std::string(1000, 'x');
  dialog->setWindowTitle("before");
  files.answers = {shortFile};
  click(kIdLoadPresets);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, "Not a bank file: 1000 bytes long; a bank is 3840 bytes");
  EXPECT_EQ(boxes.shown[0].caption, shortFile);
  EXPECT_EQ(boxes.shown[0].style, 0x2030u);
  EXPECT_EQ(engine().presetStore[0], 0);
  EXPECT_EQ(dialog->windowTitle(), "before");

  const std::string missing = (dir / "none" / "x.pvl").string();
  files.answers = {missing, missing};
  click(kIdLoadPresets);
  click(kIdSavePresets);
  ASSERT_EQ(boxes.shown.size(), 3u);
  EXPECT_EQ(boxes.shown[1].text, "Can not open...");
  EXPECT_EQ(boxes.shown[1].caption, missing);
  EXPECT_EQ(boxes.shown[1].style, 0x2030u);
  EXPECT_EQ(boxes.shown[2].text, "Can not open...");
}

TEST_F(Presets, ClosingWithLooksNotInABankAsksToSaveThemFirst) {
  const std::string bank = (dir / "looks.pvl").string();
  const std::string unwritable = (dir / "none" / "x.pvl").string();
  enum Before { Nothing, Stored, StoredThenSaved, StoredThenLoaded, StoredThenLoadFailed };
  const struct {
    const char* name;
    Before before;
    std::deque<int> answers;
    std::deque<std::optional<std::string>> saveTo;
    bool asks, closes;
  } cases[] = {
      {"nothing stored", Nothing, {}, {}, false, true},
      {"Yes saves", Stored, {kIdYes}, {bank}, true, true},
      {"Yes, the save fails", Stored, {kIdYes}, {unwritable}, true, false},
      {"Yes, the save is cancelled", Stored, {kIdYes}, {std::nullopt}, true, false},
      {"No", Stored, {kIdNo}, {}, true, true},
      {"Cancel", Stored, {kIdCancel}, {}, true, false},
      {"saved since", StoredThenSaved, {}, {}, false, true},
      {"loaded since", StoredThenLoaded, {}, {}, false, true},
      {"a load failed since", StoredThenLoadFailed, {kIdCancel}, {}, true, false},
  };
  for (const auto& c : cases)
    for (const bool byEnter : {true, false}) {
      SCOPED_TRACE(std::string(c.name) + (byEnter ? ", Enter" : ", close box"));
      dialog.reset();
      boxes = {};
      files = {};
      DialogFixture::SetUp();
      std::ofstream(bank) << std::string(3840, 'x');
      if (c.before != Nothing) click(kIdSaveToggle), click(letter('C')), click(kIdSaveToggle);
      files.answers = {c.before == StoredThenLoadFailed ? unwritable : bank};
      if (c.before == StoredThenSaved) click(kIdSavePresets);
      if (c.before >= StoredThenLoaded) click(kIdLoadPresets);
      fs::remove(bank);
      boxes.shown.clear();
      boxes.answers = c.answers;
      files.answers = c.saveTo;
      byEnter ? key(kIdGainGreen, Qt::Key_Return) : void(dialog->close());
      EXPECT_EQ(boxes.count("Video Zarnix"), c.asks ? 1 : 0);
      if (c.asks && !boxes.shown.empty()) {
        EXPECT_EQ(boxes.shown[0].text, "Save presets before quitting?");
        EXPECT_EQ(boxes.shown[0].style, kMbYesNoCancel | kMbIconQuestion);
      }
      EXPECT_EQ(dialog->isVisible(), !c.closes);
      EXPECT_EQ(dialog->graphReleases(), c.closes ? 1 : 0);
      EXPECT_EQ(fs::exists(bank), c.answers == std::deque<int>{kIdYes} && c.closes);
    }
}

TEST_F(Presets, PaletteButtonsAndGeneratorsRepaintTheStrip) {
  QTest::mouseClick(dialog.get(), Qt::LeftButton, {}, QPoint(741, 100));  // red 167
  click(kIdPaletteFirst);                                                 // "16", the top entry
  QApplication::processEvents();
  QImage image = dialog->grab().toImage();
  EXPECT_EQ(image.pixelColor(848, 22), QColor(167, 255, 255));
  click(kIdLimit);
  QApplication::processEvents();
  image = dialog->grab().toImage();
  EXPECT_EQ(image.pixelColor(848, 22).red(), engine().paletteRed[0] & 0xFF);
}

}  // namespace
}  // namespace vz::test
