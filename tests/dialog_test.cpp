// SPDX-License-Identifier: GPL-3.0-or-later
// The main dialog on the offscreen platform: template, start-up, painting, source commands
// and closing.
#include <QFileDialog>
#include <QGroupBox>
#include <QImage>
#include <QRegularExpression>
#include <cstdio>
#include <fstream>
#include <set>

#include "app/qt_file_dialogs.h"
#include "res/dialog_template.h"
#include "tests/dialog_fixture.h"

namespace vz::test {
namespace {

TEST(DialogTemplate, HoldsEveryControlOnceWithItsKind) {
  const auto rows = dialogTemplate();
  ASSERT_EQ(rows.size(), 110u);
  std::set<int> ids;
  for (const ControlRow& r : rows) {
    if (r.id != kNoId) {
      EXPECT_TRUE(ids.insert(r.id).second) << r.id;
    }
    if (r.id >= kIdLetterA && r.id <= kIdLetterZ) {
      EXPECT_EQ(r.caption[0], 'A' + (r.id - kIdLetterA));
    }
  }
  EXPECT_EQ(ids.size(), 90u);  // 1001..1091 but 1048
  EXPECT_EQ(dialogTabOrder().size(), 83u);
}

class Dialog : public DialogFixture {};

// Template units become pixels at 2.5 by 2.25; live video starts at once.
TEST_F(Dialog, StartsLiveVideoLaidOutWithSlidersAtTheirLowEnds) {
  EXPECT_EQ(w(kIdGainRed)->geometry(), QRect(90, 509, 243, 23));
  EXPECT_EQ(w(kIdFullScreen)->geometry(), QRect(915, 74, 100, 61));
  for (int id : {kIdRun, kIdStop, kIdVideo, kIdMpg, kIdRefresh, kIdAvi})
    EXPECT_TRUE(w(id)->isHidden()) << id;
  EXPECT_EQ(graph->calls,
            (std::vector<std::string>{"stopAndRelease", "startSource capture", "run"}));
  EXPECT_EQ(graph->target, &dialog->previewControl->frameTarget());
  EXPECT_EQ(w(kIdPreview)->geometry(), QRect(0, 0, 720, 480));
  EXPECT_TRUE(button(kIdVideoRadio)->isChecked());
  EXPECT_TRUE(button(kIdModeFirst)->isChecked());
  for (int id = kIdInvertRed; id <= kIdColor; ++id) EXPECT_TRUE(w(id)->isVisible()) << id;
  for (int id : {kIdFloor, kIdLowPassRed, kIdLowPassGreen, kIdLowPassBlue})
    EXPECT_EQ(ops().sliderPos(id), 1) << id;
  for (int id : {kIdTintRed, kIdGainRed, kIdQuantizeBlue, kIdOutputGreen, kIdTintBlue, kIdColor})
    EXPECT_EQ(ops().sliderPos(id), 0) << id;
  EXPECT_EQ(w(kIdRange)->geometry(), QRect(740, 450, 90, 25));  // moved off the painted bars
  EXPECT_EQ(mainDialogWindow, &ops());
  EXPECT_EQ(engine().invertRed, 0);  // the engine keeps its own start values
  EXPECT_EQ(engine().gainRed, 0);
}

TEST_F(Dialog, NoControlCoversThePaintedAreasOrTheMovedButtons) {
  std::vector<QRect> kept = {QRect(740, 12, 70, 338), QRect(838, 12, 20, 455)};
  for (int id = kIdPaletteFirst; id <= kIdRange; ++id) kept.push_back(w(id)->geometry());
  for (const QObject* child : dialog->children()) {
    const auto* widget = qobject_cast<const QWidget*>(child);
    if (widget == nullptr || widget->isHidden() || !widget->isWidgetType()) continue;
    const int id = widget->objectName().toInt();
    if (id >= kIdPaletteFirst && id <= kIdRange) continue;
    for (const QRect& area : kept)
      EXPECT_FALSE(widget->geometry().intersects(area))
          << "control " << id << " at " << widget->geometry().x() << "," << widget->geometry().y();
  }
}

TEST_F(Dialog, FocusStartsOnRedInvertAndTabFollowsTheListedOrder) {
  EXPECT_EQ(QApplication::focusWidget(), w(kIdInvertRed));
  QTest::keyClick(w(kIdInvertRed), Qt::Key_Space);
  EXPECT_EQ(engine().invertRed, 1);
  QWidget* at = w(kIdInvertRed);
  for (int expected : {kIdTintRed, kIdGainRed, kIdGainGreen}) {
    QTest::keyClick(at, Qt::Key_Tab);
    at = QApplication::focusWidget();
    EXPECT_EQ(at, w(expected));
  }
  EXPECT_EQ(graph->calls.size(), 3u);  // none of that touched the graph
}

// Records the first widget a mouse press reaches, and swallows the click so that nothing acts.
class PressProbe : public QObject {
 public:
  PressProbe() { qApp->installEventFilter(this); }
  ~PressProbe() override { qApp->removeEventFilter(this); }
  QWidget* receiverOfClickAt(QWidget* window, QPoint at) {
    receiver_ = nullptr;
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, at);
    return receiver_;
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    const QEvent::Type t = event->type();
    if (!watched->isWidgetType() ||
        (t != QEvent::MouseButtonPress && t != QEvent::MouseButtonRelease &&
         t != QEvent::MouseButtonDblClick))
      return false;
    if (t == QEvent::MouseButtonPress && receiver_ == nullptr)
      receiver_ = static_cast<QWidget*>(watched);
    return true;
  }

 private:
  QWidget* receiver_ = nullptr;
};

TEST_F(Dialog, ClicksThroughTheWindowReachTheControlUnderThem) {
  std::vector<QWidget*> controls;
  for (const ControlRow& r : dialogTemplate())
    if (r.kind >= ControlKind::PushButton && !(r.style & kHidden)) controls.push_back(w(r.id));
  ASSERT_EQ(controls.size(), 83u);
  PressProbe probe;
  auto expectEachTakesItsClick = [&](const char* when) {
    for (QWidget* control : controls)
      EXPECT_EQ(probe.receiverOfClickAt(dialog.get(), control->geometry().center()), control)
          << "control " << control->objectName().toStdString() << " " << when;
  };
  expectEachTakesItsClick("at start-up");

  button(kIdFullScreen)->click();
  QApplication::processEvents();
  const QRect screen(QPoint(0, 0), dialog->size());
  std::vector<QPoint> points;
  for (int x = 3; x < screen.width(); x += 61)
    for (int y = 3; y < screen.height(); y += 47) points.emplace_back(x, y);
  for (QWidget* control : controls)
    if (screen.contains(control->geometry().center()))
      points.push_back(control->geometry().center());
  for (QPoint at : points)
    EXPECT_EQ(probe.receiverOfClickAt(dialog.get(), at), w(kIdPreview)) << at.x() << "," << at.y();
  qApp->removeEventFilter(&probe);  // a click that acts, on the video over the colour bars
  clickAt(QPoint(750, 100));
  qApp->installEventFilter(&probe);
  EXPECT_EQ(engine().currentRed, 255) << "picked a colour through the full-screen video";

  key(kIdMirror, Qt::Key_Escape);
  expectEachTakesItsClick("after full screen and back");
}

TEST_F(Dialog, GroupBoxTitlesSitOnTheTopEdgeOfTheirFrames) {
  const QImage image = dialog->grab().toImage();
  const QColor background = dialog->palette().color(QPalette::Window);
  int boxes = 0;
  for (const QGroupBox* box : dialog->findChildren<QGroupBox*>()) {
    ++boxes;
    // The frame's top line, found down the box's right end, right of any title.
    const QRect r = box->geometry();
    int line = r.top();
    while (line < r.bottom() && image.pixelColor(r.right() - 3, line) == background) ++line;
    EXPECT_LT(line - r.top(), box->fontMetrics().height())
        << box->title().toStdString() << ": the frame starts below the title";
    EXPECT_GE(line - r.top(), box->fontMetrics().height() / 3) << box->title().toStdString();
  }
  EXPECT_EQ(boxes, 7);
}

TEST_F(Dialog, MpegBeforeAnyFileExplainsThenASelectedFilePlays) {
  click(kIdMpegRadio);  // no file yet: the camera keeps running
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, "You must select a Mpg file first.\n\n");
  EXPECT_EQ(boxes.shown[0].caption, "File not selected");
  EXPECT_EQ(boxes.shown[0].style, kMbIconInformation);
  EXPECT_TRUE(button(kIdVideoRadio)->isChecked());
  EXPECT_FALSE(button(kIdMpegRadio)->isChecked());

  files.answers = {std::nullopt, "/clips/étude.mpg"};
  click(kIdSelectMpeg);  // cancelled: nothing changes
  EXPECT_TRUE(engine().fileName.empty());
  click(kIdSelectMpeg);
  ASSERT_EQ(files.requests.size(), 2u);
  EXPECT_EQ(files.requests[1].flags, 0x1004u);
  EXPECT_EQ(engine().fileName, "/clips/étude.mpg");
  EXPECT_EQ(graph->calls.size(), 3u);  // choosing does not switch

  ops().placeControl(kIdPreview, 0, 0, 1920, 1080, Stacking::Top);
  click(kIdMpegRadio);
  EXPECT_EQ(engine().sourceIsFile, 1);
  EXPECT_EQ(std::vector<std::string>(graph->calls.begin() + 3, graph->calls.end()),
            (std::vector<std::string>{"stopAndRelease", "startSource file", "run"}));
  EXPECT_EQ(w(kIdPreview)->geometry(), QRect(0, 0, 720, 480));
  EXPECT_TRUE(button(kIdMpegRadio)->isChecked());

  click(kIdMpegRadio);  // already checked: plays again from the start
  EXPECT_EQ(graph->calls.size(), 9u);
  click(kIdVideoRadio);
  EXPECT_EQ(graph->calls.back(), "run");
  EXPECT_EQ(graph->calls[graph->calls.size() - 2], "startSource capture");
  EXPECT_EQ(boxes.shown.size(), 1u);
}

// Each filter of the real open dialog shows its files whatever the case of their names (the
// file system matches case-sensitively); the MPEG one comes first.
TEST_F(Dialog, SelectMpegOffersMpegFirstThenVideosPicturesAndAllFilesInAnyCase) {
  QtFileDialogs realFiles(nullptr);
  files.forwardTo = &realFiles;
  QStringList filters;
  QTimer poll;  // until the dialog shows: read its filters, then cancel it
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
      poll.stop();
      filters = d->nameFilters();
      QTest::keyClick(d->windowHandle(), Qt::Key_Escape);
    }
  });
  poll.start(50);
  click(kIdSelectMpeg);
  const char* const kFilters[][3] = {
      // name, files it shows, files it hides
      {"Mpeg {*.mpg}", "a.mpg B.MPG", "c.mp4 mpg"},
      {"Video files",
       "a.mp4 B.M4V c.Mkv d.WEBM e.mov f.AVI g.mpg h.MPEG i.m2v j.TS k.mts l.OGV m.flv",
       "a.png c.mp4.part"},
      {"Images", "a.png B.JPG c.Jpeg", "a.gif b.mp4"},
      {"All files (*)", "notes.txt README", ""}};
  ASSERT_EQ(filters.size(), std::ssize(kFilters));
  for (int i = 0; i < filters.size(); ++i) {
    const auto filter = QRegularExpression(R"(^(.*) \(([^()]*)\)$)").match(filters[i]);
    EXPECT_EQ(filter.captured(1), kFilters[i][0]);
    for (int shows : {1, 2})
      for (const QString& name : QString(kFilters[i][shows]).split(' ', Qt::SkipEmptyParts)) {
        bool matched = false;
        for (const QString& pattern : filter.captured(2).split(' '))
          matched |=
              QRegularExpression::fromWildcard(pattern, Qt::CaseSensitive).match(name).hasMatch();
        EXPECT_EQ(matched, shows == 1) << filters[i].toStdString() << ": " << name.toStdString();
      }
  }
}

TEST_F(Dialog, FocusStaysPutAcrossLetterButtonsBoxesAndFileDialogs) {
  TypedAnswerBoxes real;  // each box shown for real and closed by a typed Return
  boxes.forwardTo = &real;
  const std::string shortBank = ::testing::TempDir() + "vz-short.pvl";
  std::ofstream(shortBank) << "too short";
  files.answers = {shortBank};
  QtFileDialogs realFiles(nullptr);
  auto cancelledFileDialog = [&] {  // shown for real and closed by a typed Escape
    files.forwardTo = &realFiles;
    QTimer::singleShot(200, [] {
      if (QWidget* d = QApplication::activeModalWidget())
        QTest::keyClick(d->windowHandle(), Qt::Key_Escape);
    });
    realClick(kIdSelectMpeg);
    files.forwardTo = nullptr;
  };
  auto focusIsOn = [&](int id) { EXPECT_EQ(QApplication::focusWidget(), w(id)) << id; };
  const int result = inModalRun({
      [&] { realClick(kIdLetterA); }, [&] { focusIsOn(kIdLetterA); },
      [&] { realClick(kIdMpegRadio); },  // "File not selected"
      [&] { focusIsOn(kIdMpegRadio); },
      [&] { realClick(kIdLoadPresets); },  // "Not a bank file": the bank is short
      [&] { focusIsOn(kIdLoadPresets); }, cancelledFileDialog, [&] { focusIsOn(kIdSelectMpeg); },
      [&] { typeKey(Qt::Key_Return); },  // Select MPEG again, not OK
  });
  std::remove(shortBank.c_str());
  ASSERT_EQ(boxes.shown.size(), 2u);
  EXPECT_EQ(boxes.shown[0].caption, "File not selected");
  EXPECT_EQ(boxes.shown[1].caption, shortBank);
  EXPECT_EQ(files.requests.size(), 3u);
  EXPECT_TRUE(engine().fileName.empty());
  EXPECT_EQ(result, QDialog::Rejected);
}

TEST(QtMessageBoxes, KeysAnswerEachButtonSet) {
  const struct {
    unsigned buttons;
    Qt::Key key;
    int answer;
  } cases[] = {
      {kMbOk, Qt::Key_Escape, kIdOk},     {kMbYesNo, Qt::Key_Return, kIdYes},
      {kMbYesNo, Qt::Key_Escape, kIdNo},  {kMbYesNoCancel, Qt::Key_Return, kIdYes},
      {kMbYesNoCancel, Qt::Key_N, kIdNo}, {kMbYesNoCancel, Qt::Key_Escape, kIdCancel},
  };
  for (const auto& c : cases) {
    TypedAnswerBoxes boxes;
    boxes.keys = {c.key};
    EXPECT_EQ(boxes.show("Question?", "Caption", c.buttons | kMbIconQuestion), c.answer)
        << c.buttons << " " << c.key;
  }
}

TEST_F(Dialog, HiddenSourceButtonsKeepTheirCommands) {
  button(kIdStop)->click();
  EXPECT_TRUE(button(kIdVideoRadio)->isChecked());
  engine().fileName = "/x.mpg";
  button(kIdRun)->click();
  EXPECT_TRUE(button(kIdMpegRadio)->isChecked());
  EXPECT_EQ(engine().sourceIsFile, 1);
  for (int i = 0; i < 3; ++i) button(kIdAvi)->click();
  EXPECT_EQ(engine().aviFlag, 1);
}

// Enter ends through the default OK (the close box and Enter on a slider are tried with the
// closing question), but a focused push button takes its Enter and the Save toggle is not
// pressed by it; Escape never closes.
TEST_F(Dialog, EnterEndsUnlessAPushButtonTakesItAndEscapeNeverCloses) {
  key(kIdGainGreen, Qt::Key_Escape);
  key(kIdLetterA, Qt::Key_Return);  // recalls the empty slot A
  EXPECT_EQ(ops().sliderPos(kIdFloor), 255);
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(dialog->graphReleases(), 0);
  key(kIdSaveToggle, Qt::Key_Enter);
  EXPECT_EQ(engine().saveArmed, 0);
  EXPECT_EQ(dialog->result(), QDialog::Accepted);
  EXPECT_EQ(graph->calls.back(), "releaseGraph");
  EXPECT_EQ(dialog->graphReleases(), 1);
  dialog.reset();  // the destructor must not release a released graph again
}

}  // namespace
}  // namespace vz::test
