// The outputs as the dialog offers them: the preview's menu, F9, the REC badge, and a
// failing recording shown in a box while the video runs on.
#include "app/preview_menu.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <filesystem>

#include "app/camera_menu.h"
#include "app/recording_badge.h"
#include "res/control_ids.h"
#include "source/sample_grabber.h"
#include "tests/output_dialog_fixture.h"

namespace vz::test {
namespace {

namespace fs = std::filesystem;

class OutputMenu : public OutputDialogFixture {
 protected:
  // One folder per process: CTest runs these tests side by side, each tearing its own down.
  fs::path dir = fs::temp_directory_path() / ("vz-output-menu-" + std::to_string(getpid()));

  void SetUp() override {
    fs::remove_all(dir);
    fs::create_directories(dir);
    startDialog();
    QApplication::setActiveWindow(dialog.get());
  }
  void TearDown() override {
    OutputDialogFixture::TearDown();
    fs::remove_all(dir);
  }
};

TEST_F(OutputMenu, RecordFromTheMenuShowsTheBadgeAndStops) {
  // A right click on the preview opens the menu there.
  QWidget* preview = dialog->previewControl;
  const QPoint at = preview->mapTo(dialog.get(), QPoint(50, 50));
  QTest::mouseClick(dialog->windowHandle(), Qt::RightButton, {}, at);
  ASSERT_TRUE(waitUntil([] { return QApplication::activePopupWidget() != nullptr; }));
  auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  ASSERT_NE(popup, nullptr);
  EXPECT_NE(find(popup, QStringLiteral("Stop Recording")), nullptr);
  popup->close();
  QApplication::setActiveWindow(dialog.get());

  const std::string path = (dir / "menu.mkv").string();
  files.answers = {path};
  choose(QStringLiteral("Record..."));
  ASSERT_TRUE(outputs->control.recording());
  EXPECT_TRUE(files.wasSave.back());
  EXPECT_TRUE(files.requests.back().flags & kOfnOverwritePrompt);
  EXPECT_TRUE(checked(QStringLiteral("Record...")));
  EXPECT_TRUE(waitUntil([&] { return outputs->badge->isVisible(); }));
  EXPECT_TRUE(outputs->badge->text().startsWith(QStringLiteral("REC 0:0")));

  // Full screen hides the badge; the framed dialog shows it again.
  dialog->OnFullScreen();
  EXPECT_TRUE(waitUntil([&] { return !outputs->badge->isVisible(); }));
  QWidget* focus = QApplication::focusWidget();
  QTest::keyClick(focus != nullptr ? focus : dialog.get(), Qt::Key_Escape);
  EXPECT_TRUE(waitUntil([&] { return outputs->badge->isVisible(); }));

  choose(QStringLiteral("Stop Recording"));
  EXPECT_FALSE(outputs->control.recording());
  EXPECT_FALSE(outputs->badge->isVisible());
  EXPECT_GT(fs::file_size(path), 0u);
  EXPECT_TRUE(boxes.shown.size() <= 1u);  // only the camera question
}

TEST_F(OutputMenu, F9RecordsIntoTheVideosFolderAndAgainStops) {
  setenv("XDG_VIDEOS_DIR", (dir / "videos").c_str(), 1);
  QTest::keyClick(dialog.get(), Qt::Key_F9);
  ASSERT_TRUE(outputs->control.recording());
  const std::string path = outputs->control.recordingPath();
  EXPECT_EQ(path.rfind((dir / "videos" / "videozarnix-").string(), 0), 0u) << path;
  // Stop once something was written (slow sanitizer builds take a while to get there).
  std::error_code ec;
  for (int i = 0; i < 1000 && fs::file_size(path, ec) == 0; ++i) QTest::qWait(20);
  QTest::keyClick(dialog.get(), Qt::Key_F9);
  EXPECT_FALSE(outputs->control.recording());
  EXPECT_TRUE(fs::exists(path));
}

TEST_F(OutputMenu, FailuresShowABoxAndTheVideoRunsOn) {
  const size_t before = boxes.shown.size();
  const struct {
    std::string path, codec, fragment;
  } cases[] = {
      {"/proc/nowhere/x.mkv", "", "Could not open file"},
      {(dir / "a.mp4").string(), "ffv1", "cannot hold ffv1"},
  };
  for (const auto& c : cases) {
    outputs->control.setRecordCodec(c.codec);
    files.answers = {c.path};
    choose(QStringLiteral("Record..."));
    EXPECT_FALSE(outputs->control.recording());
    ASSERT_EQ(boxes.shown.size(), before + 1) << c.path;
    EXPECT_NE(boxes.shown.back().text.find(c.fragment), std::string::npos)
        << boxes.shown.back().text;
    boxes.shown.pop_back();
  }
  EXPECT_TRUE(dialog->previewControl->hasShownFrame());
  EXPECT_FALSE(checked(QStringLiteral("Record...")));
}

TEST_F(OutputMenu, CamerasListedWhenItOpensSwitchToTheChosenOne) {
  devices.add({{"FriendlyName", "Cam"}, {"Key", "v4l2:b"}}, testPattern(176, 144));
  devices.add({{"FriendlyName", "Side"}, {"Key", "v4l2:c"}}, testPattern(320, 240));
  outputs->menu->setExtraItems(
      [this](QMenu& m) { addCameraItems(m, devices, media->graph(), *dialog); });
  auto shows = [&](int width) {
    return waitUntil(
        [&] { return sampleGrabberConnectedSize(media->graph().grabber).width == width; });
  };
  // From a (missing) file: choosing a camera brings VIDEO back, without a question.
  dialog->engine.fileName = (dir / "missing.mpg").string();
  dialog->OnMpegRadio();
  for (const auto& [label, width] : {std::pair{"Cam (v4l2:b)", 176}, {"Side", 320}}) {
    choose(QString::fromUtf8(label));
    EXPECT_TRUE(checked(QString::fromUtf8(label))) << label;
    EXPECT_TRUE(dialog->dialogOps().isDlgButtonChecked(kIdVideoRadio));
    EXPECT_TRUE(shows(width)) << label;
  }
  // Read afresh at each opening; a camera gone since is not replaced by another. One
  // without a key can only be picked at the question.
  std::unique_ptr<QMenu> stale(outputs->menu->build());
  devices.devices.pop_back();
  const int bindsBefore = *devices.binds[0] + *devices.binds[1];
  find(stale.get(), QStringLiteral("Side"))->trigger();
  EXPECT_EQ(*devices.binds[0] + *devices.binds[1], bindsBefore);
  std::unique_ptr<QMenu> menu(outputs->menu->build());
  EXPECT_EQ(find(menu.get(), QStringLiteral("Side")), nullptr);
  EXPECT_FALSE(find(menu.get(), QStringLiteral("Cam"))->isEnabled());
  EXPECT_EQ(boxes.shown.size(), 1u);  // only the question at start
}

// Clips loop unless the check is taken off; the running source is not touched.
TEST_F(OutputMenu, LoopClipsIsACheckOnTheGraph) {
  MediaGraph& graph = media->graph();
  outputs->menu->setLoopClips([&] { return graph.loopClips(); },
                              [&](bool on) { graph.setLoopClips(on); });
  const long frames = graph.framesDelivered();
  EXPECT_TRUE(checked(QStringLiteral("Loop Clips")));
  for (bool expected : {false, true}) {
    choose(QStringLiteral("Loop Clips"));
    EXPECT_EQ(graph.loopClips(), expected);
    EXPECT_EQ(checked(QStringLiteral("Loop Clips")), expected);
  }
  EXPECT_TRUE(waitUntil([&] { return graph.framesDelivered() > frames; }));
}

}  // namespace
}  // namespace vz::test
