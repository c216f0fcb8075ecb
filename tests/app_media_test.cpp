// SPDX-License-Identifier: GPL-3.0-or-later
// The whole program minus the window system: the dialog on the offscreen platform driving
// the real media graph, with a test camera and the test clips.
#include <QMimeData>

#include "tests/dialog_fixture.h"

namespace vz::test {
namespace {

class Program : public DialogFixture {
 protected:
  void SetUp() override {}  // the cameras first
  // URLs dropped as a file manager drops them, on the dialog's window over the preview; the
  // toolkit picks the receiver there. Returns whether the drop was taken.
  bool dropOnPreview(const QList<QUrl>& urls) {
    QMimeData mime;
    mime.setUrls(urls);
    const QPoint at = dialog->previewControl->geometry().center();
    QWindow* window = dialog->windowHandle();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &enter);
    QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &drop);
    QApplication::processEvents();  // the source switch follows the drop
    return drop.isAccepted();
  }
};

TEST_F(Program, WithoutACameraTheDialogStillOpensPlaysFilesAndEndsCleanly) {
  openWithMedia();
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].caption, "Error");
  files.answers = {clipPath("with_audio.mpg")};
  click(kIdSelectMpeg);
  click(kIdMpegRadio);
  EXPECT_TRUE(waitForPicture());
  const long frames = media->graph().framesDelivered();
  click(kIdModeFirst + 1);  // Overflow while the file plays: it plays on
  EXPECT_TRUE(
      QTest::qWaitFor([&] { return media->graph().framesDelivered() > frames + 5; }, 10000));
  key(kIdGainRed, Qt::Key_Return);  // ends while the video runs: the graph torn down once
  EXPECT_EQ(dialog->result(), QDialog::Accepted);
  EXPECT_EQ(dialog->graphReleases(), 1);
  EXPECT_EQ(media->graph().graph, nullptr);
  EXPECT_EQ(media->graph().grabber, nullptr);
}

TEST_F(Program, ADroppedFilePlaysWhenItCanAndTheFirstOfSeveralIsTaken) {
  devices.add({{"FriendlyName", "Cam A"}}, testPattern(160, 120));
  openWithMedia();
  ASSERT_TRUE(waitForPicture());
  auto clip = [](const char* name) {
    return QUrl::fromLocalFile(VZ_TEST_CLIP_DIR "/" + QString(name));
  };
  enum Outcome { Plays, StaysWithALine, Refused };
  const struct {
    QList<QUrl> urls;
    Outcome outcome;
    bool fullScreen = false;
  } kDrops[] = {
      {{clip("fmt_h264.mp4")}, Plays},
      {{clip("garbage.mpg"), clip("halves_mpeg1.mpg")}, StaysWithALine},
      {{clip("sound_only.wav")}, StaysWithALine},
      {{QUrl::fromLocalFile(VZ_TEST_CLIP_DIR)}, StaysWithALine},
      {{QUrl("https://example.com/a.mpg")}, Refused},
      {{clip("halves_mpeg1.mpg"), clip("fmt_h264.mp4")}, Plays, true},
  };
  for (const auto& d : kDrops) {
    SCOPED_TRACE(d.urls[0].toString().toStdString());
    if (d.fullScreen) click(kIdFullScreen);
    const std::string first = d.urls[0].toLocalFile().toStdString(),
                      fileBefore = dialog->engine.fileName;
    const GstElement* graphBefore = media->graph().graph;
    const long framesBefore = media->graph().framesDelivered();
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(dropOnPreview(d.urls), d.outcome != Refused);
    const std::string err = ::testing::internal::GetCapturedStderr();
    if (d.outcome == Plays) {
      EXPECT_EQ(dialog->engine.fileName, first);
      EXPECT_TRUE(button(kIdMpegRadio)->isChecked());
      EXPECT_TRUE(QTest::qWaitFor([&] { return media->graph().framesDelivered() > 0; }, 10000));
      continue;
    }
    // The running source goes on: same graph, its frame count never restarted.
    EXPECT_EQ(media->graph().graph, graphBefore);
    EXPECT_EQ(dialog->engine.fileName, fileBefore);
    EXPECT_GE(media->graph().framesDelivered(), framesBefore);
    const bool oneLineWhy =
        !err.empty() && err.find(first) != std::string::npos && err.find('\n') + 1 == err.size();
    EXPECT_EQ(oneLineWhy, d.outcome == StaysWithALine) << err;
  }
}

// A clip that loops is not a source command: the full-screen preview keeps its place and size.
TEST_F(Program, ALoopRestartLeavesTheFullScreenPreviewInPlace) {
  openWithMedia();
  files.answers = {clipPath("loop_mpeg2.mpg")};
  click(kIdSelectMpeg);
  click(kIdMpegRadio);
  ASSERT_TRUE(waitForPicture());
  dialog->OnFullScreen();
  QTest::qWait(100);
  const QRect placed = dialog->previewControl->geometry();
  const int releases = dialog->graphReleases();
  EXPECT_TRUE(QTest::qWaitFor([&] { return media->graph().clipLoops() >= 2; }, 20000));
  EXPECT_EQ(dialog->previewControl->geometry(), placed);
  EXPECT_EQ(dialog->graphReleases(), releases);
  EXPECT_NE(dialog->engine.fullScreen, 0);
}

}  // namespace
}  // namespace vz::test
