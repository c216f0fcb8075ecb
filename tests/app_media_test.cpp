// The whole program minus the window system: the dialog on the offscreen platform driving
// the real media graph, with a test camera and the test clips.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <chrono>

#include "app/effect_dialog.h"
#include "app/preview_widget.h"
#include "res/control_ids.h"
#include "source/media_graph_control.h"
#include "tests/dialog_fakes.h"
#include "tests/media_fakes.h"

namespace vz::test {
namespace {

class Program : public ::testing::Test {
 protected:
  ScriptedBoxes boxes;
  ScriptedFiles files;
  TestDeviceList devices;
  MediaGraphControl* media = nullptr;
  std::unique_ptr<EffectDialog> dialog;

  void start() {
    dialog = std::make_unique<EffectDialog>(
        [this](VideoEngine& e) {
          auto g = std::make_unique<MediaGraphControl>(e, boxes, devices);
          media = g.get();
          return g;
        },
        boxes, files);
    dialog->OnInitDialog();
    dialog->show();
    QApplication::setActiveWindow(dialog.get());
  }
  // Lets the GUI run until the preview has drawn a frame.
  bool waitForPicture() {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!dialog->previewControl->hasShownFrame() && std::chrono::steady_clock::now() < end)
      QTest::qWait(20);
    return dialog->previewControl->hasShownFrame();
  }
  void click(int id) { QTest::mouseClick(dialog->control(id), Qt::LeftButton); }
};

TEST_F(Program, AsksForTheCameraThenShowsItAndSwitchesToAFile) {
  devices.add({{"FriendlyName", "Cam A"}}, testPattern(320, 240));
  start();
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, "Cam A");
  ASSERT_TRUE(waitForPicture());

  files.answers = {std::string(VZ_TEST_CLIP_DIR) + "/halves_mpeg1.mpg"};
  click(kIdSelectMpeg);
  click(kIdMpegRadio);
  EXPECT_EQ(dialog->engine.sourceIsFile, 1);
  click(kIdModeFirst + 1);  // Overflow while the file plays
  QTest::qWait(300);
  ASSERT_NE(media->graph().graph, nullptr);

  click(kIdVideoRadio);  // back to the camera, without asking again
  EXPECT_EQ(boxes.shown.size(), 1u);
  EXPECT_TRUE(waitForPicture());
}

TEST_F(Program, ClosingWhileVideoRunsTearsTheGraphDownOnce) {
  devices.add({{"FriendlyName", "Cam A"}}, testPattern(160, 120));
  start();
  ASSERT_TRUE(waitForPicture());
  dialog->close();
  EXPECT_EQ(dialog->graphReleases(), 1);
  EXPECT_EQ(media->graph().graph, nullptr);
  EXPECT_EQ(media->graph().grabber, nullptr);
  dialog.reset();
}

TEST_F(Program, WithoutACameraTheDialogStillOpensAndPlaysFiles) {
  start();
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].caption, "Error");
  files.answers = {std::string(VZ_TEST_CLIP_DIR) + "/with_audio.mpg"};
  click(kIdSelectMpeg);
  click(kIdMpegRadio);
  EXPECT_TRUE(waitForPicture());
  dialog->control(kIdGainRed)->setFocus();
  QTest::keyClick(dialog->control(kIdGainRed), Qt::Key_Return);
  EXPECT_EQ(dialog->result(), QDialog::Accepted);
  EXPECT_EQ(media->graph().graph, nullptr);
}

// A clip that loops is not a source command: the full-screen preview keeps its place and size.
TEST_F(Program, ALoopRestartLeavesTheFullScreenPreviewInPlace) {
  start();
  files.answers = {std::string(VZ_TEST_CLIP_DIR) + "/loop_mpeg2.mpg"};
  click(kIdSelectMpeg);
  click(kIdMpegRadio);
  ASSERT_TRUE(waitForPicture());
  dialog->OnFullScreen();
  QTest::qWait(100);
  const QRect placed = dialog->previewControl->geometry();
  const int releases = dialog->graphReleases();
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (media->graph().clipLoops() < 2 && std::chrono::steady_clock::now() < end) QTest::qWait(20);
  EXPECT_GE(media->graph().clipLoops(), 2);
  EXPECT_EQ(dialog->previewControl->geometry(), placed);
  EXPECT_EQ(dialog->graphReleases(), releases);
  EXPECT_NE(dialog->engine.fullScreen, 0);
}

}  // namespace
}  // namespace vz::test
