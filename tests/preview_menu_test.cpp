// SPDX-License-Identifier: GPL-3.0-or-later
// The outputs as the dialog offers them: the preview's menu, F9, the REC badge, and a
// failing recording shown in a box while the video runs on; the virtual camera's item across
// a PipeWire that goes away and returns.
#include <QImage>
#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>

#include "app/camera_menu.h"
#include "app/recording_badge.h"
#include "source/sample_grabber.h"
#include "tests/dialog_fixture.h"
#include "tests/private_pipewire.h"
#include "tests/scratch_dir.h"

namespace vz::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class OutputMenu : public DialogFixture {
 protected:
  ScratchDir dir{"vz-output-menu"};
  void SetUp() override { openOnCamera(); }
};

TEST_F(OutputMenu, RecordFromTheMenuShowsTheBadgeAndStops) {
  // A right click on the preview opens the menu there.
  QWidget* preview = dialog->previewControl;
  const QPoint at = preview->mapTo(dialog.get(), QPoint(50, 50));
  QTest::mouseClick(dialog->windowHandle(), Qt::RightButton, {}, at);
  ASSERT_TRUE(QTest::qWaitFor([] { return QApplication::activePopupWidget() != nullptr; }, 10000));
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
  EXPECT_FALSE(files.requests.back().flags & kOfnOverwritePrompt);  // refused after, not asked
  EXPECT_TRUE(checked(QStringLiteral("Record...")));
  EXPECT_TRUE(QTest::qWaitFor([&] { return outputs->badge->isVisible(); }, 10000));
  EXPECT_TRUE(outputs->badge->text().startsWith(QStringLiteral("REC 0:0")));
  // Readable over red and magenta video: it stands on a dark plate.
  for (const QColor video : {QColor(Qt::red), QColor(Qt::magenta)}) {
    QImage shown(outputs->badge->size(), QImage::Format_RGB32);
    shown.fill(video);
    outputs->badge->render(&shown, {}, {}, QWidget::DrawChildren);
    int dark = 0;
    for (int y = 0; y < shown.height(); ++y)
      for (int x = 0; x < shown.width(); ++x) dark += qGray(shown.pixel(x, y)) < 60;
    EXPECT_GT(dark, shown.width() * shown.height() / 2) << video.name().toStdString();
  }

  // Full screen hides the badge; the framed dialog shows it again.
  dialog->OnFullScreen();
  EXPECT_TRUE(QTest::qWaitFor([&] { return !outputs->badge->isVisible(); }, 10000));
  QWidget* focus = QApplication::focusWidget();
  QTest::keyClick(focus != nullptr ? focus : dialog.get(), Qt::Key_Escape);
  EXPECT_TRUE(QTest::qWaitFor([&] { return outputs->badge->isVisible(); }, 10000));

  choose(QStringLiteral("Stop Recording"));
  EXPECT_FALSE(outputs->control.recording());
  EXPECT_FALSE(outputs->badge->isVisible());
  EXPECT_GT(fs::file_size(path), 0u);
  EXPECT_TRUE(boxes.shown.size() <= 1u);  // only the camera question
}

TEST_F(OutputMenu, FailuresShowABoxAndTheVideoRunsOn) {
  const size_t before = boxes.shown.size();
  const struct {
    std::string path, codec, fragment;
  } cases[] = {
      {"/proc/nowhere/x.mkv", "", "No such file"},
      {(dir / "a.mp4").string(), "ffv1", "cannot hold ffv1"},
      {(dir / "earlier-take.mkv").string(), "", "will not overwrite an existing file"},
  };
  std::ofstream(dir / "earlier-take.mkv") << "take";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
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
  EXPECT_EQ(readFile(dir / "earlier-take.mkv"), "take");
  EXPECT_FALSE(fs::exists(dir / "a.mp4"));  // a refused take leaves nothing behind
}

TEST_F(OutputMenu, TheStopLineIsOneLineWhateverTheName) {
  const std::string path = (dir / "two\nlines\x1b]0;title\x07.mkv").string();
  files.answers = {path};
  choose(QStringLiteral("Record..."));
  ASSERT_TRUE(outputs->control.recording());
  testing::internal::CaptureStderr();
  outputs->control.stopRecording();
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
  EXPECT_NE(said.find("two\\x0Alines\\x1B]0;title\\x07.mkv"), std::string::npos) << said;
  EXPECT_TRUE(fs::exists(path));
}

// F9 records into the videos folder, made when missing, and stops again. Takes started within
// one second (F9, the menu, a controller) all keep their files: the dated name a take of the
// same second holds goes to the next free one.
TEST_F(OutputMenu, F9AndTakesOfTheSameSecondNeverOverwriteEachOther) {
  const fs::path videos = dir / "videos";
  setenv("XDG_VIDEOS_DIR", videos.c_str(), 1);
  QTest::keyClick(dialog.get(), Qt::Key_F9);
  ASSERT_TRUE(outputs->control.recording());
  const std::string first = outputs->control.recordingPath();
  EXPECT_EQ(first.rfind((videos / "videozarnix-").string(), 0), 0u) << first;
  QTest::keyClick(dialog.get(), Qt::Key_F9);
  EXPECT_FALSE(outputs->control.recording());
  EXPECT_TRUE(fs::exists(first));
  // Earlier takes hold the names of now and the next seconds, and their -2 too.
  const long long now = static_cast<long long>(std::time(nullptr));
  std::vector<std::string> earlier;
  for (long long t = now; t < now + 5; ++t) {
    const std::string dated = defaultRecordingPath(t);
    earlier.push_back(dated);
    earlier.push_back(dated.substr(0, dated.size() - 4) + "-2.mkv");
  }
  for (const std::string& p : earlier) std::ofstream(p) << "take";
  std::set<std::string> takes;
  for (int i = 0; i < 3; ++i) {
    i == 1 ? outputs->control.remoteRecord(true, false) : QTest::keyClick(dialog.get(), Qt::Key_F9);
    ASSERT_TRUE(outputs->control.recording());
    takes.insert(outputs->control.recordingPath());
    outputs->control.stopRecording();
  }
  ASSERT_EQ(takes.size(), 3u);
  for (const std::string& p : takes) {
    EXPECT_TRUE(std::regex_search(p, std::regex("-[345]\\.mkv$"))) << p;  // the next free ones
    EXPECT_TRUE(fs::exists(p)) << p;
  }
  for (const std::string& p : earlier) EXPECT_EQ(readFile(p), "take") << p;
}

TEST_F(OutputMenu, CamerasListedWhenItOpensSwitchToTheChosenOne) {
  devices.add({{"FriendlyName", "Cam"}, {"Key", "v4l2:b"}}, testPattern(176, 144));
  devices.add({{"FriendlyName", "Side"}, {"Key", "v4l2:c"}}, testPattern(320, 240));
  outputs->menu->setExtraItems(
      [this](QMenu& m) { addCameraItems(m, devices, media->graph(), *dialog); });
  auto shows = [&](int width) {
    return QTest::qWaitFor(
        [&] { return sampleGrabberConnectedSize(media->graph().grabber).width == width; }, 10000);
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
  EXPECT_TRUE(QTest::qWaitFor([&] { return graph.framesDelivered() > frames; }, 10000));
}

// The camera's item as the menu would open now: its text, "[x]" after it when checked.
std::string cameraItem(PreviewMenu& menu) {
  std::unique_ptr<QMenu> built(menu.build());
  for (QAction* a : built->actions())
    if (a->text().startsWith("Virtual Camera"))
      return a->text().toStdString() + (a->isChecked() ? " [x]" : "");
  return "";
}

// The check shows whether the camera is offered now, the camera comes back by itself, and
// turning it off and on again leaves nothing that holds up the end.
TEST(VirtualCameraMenu, ShowsWhatIsTrueWhilePipeWireIsGoneAndComesBackByItself) {
  PrivatePipeWire pw;
  ASSERT_TRUE(pw.ok()) << pw.error();
  ScriptedBoxes boxes;
  ScriptedFiles files;
  OutputStage stage;
  auto control = std::make_unique<OutputControl>(stage, boxes, files, [] {
    return OutputControl::Rate{30, 1};
  });
  QWidget preview;
  PreviewMenu menu(&preview, *control);

  testing::internal::CaptureStderr();
  ASSERT_TRUE(control->startVirtualCamera("pipewire"));
  EXPECT_EQ(cameraItem(menu), "Virtual Camera [x]");

  pw.killPipeWire();
  ASSERT_TRUE(QTest::qWaitFor([&] { return control->cameraWaiting(); }, 10000));
  EXPECT_FALSE(control->cameraOn());
  EXPECT_EQ(cameraItem(menu), "Virtual Camera (waiting for PipeWire)");

  ASSERT_TRUE(pw.restartPipeWire()) << pw.error();
  ASSERT_TRUE(QTest::qWaitFor([&] { return control->cameraOn(); }, 10000));
  EXPECT_EQ(cameraItem(menu), "Virtual Camera [x]");

  // Off and on again: a node of its own each time, offered at once.
  control->toggleVirtualCamera();
  EXPECT_FALSE(control->cameraOn());
  EXPECT_EQ(cameraItem(menu), "Virtual Camera");
  control->toggleVirtualCamera();
  EXPECT_TRUE(control->cameraOn());
  EXPECT_TRUE(PrivatePipeWire::waitListed("Video Zarnix", 20s));

  // Choosing the item while it waits gives the wait up: nothing comes back.
  pw.killPipeWire();
  ASSERT_TRUE(QTest::qWaitFor([&] { return control->cameraWaiting(); }, 10000));
  control->toggleVirtualCamera();
  EXPECT_FALSE(control->cameraWaiting());
  ASSERT_TRUE(pw.restartPipeWire()) << pw.error();
  QTest::qWait(1000);
  EXPECT_FALSE(control->cameraOn());
  EXPECT_EQ(cameraItem(menu), "Virtual Camera");

  control->toggleVirtualCamera();
  ASSERT_TRUE(control->cameraOn());
  control.reset();  // as the program's end does: a hold-up there runs into the time limit
  EXPECT_TRUE(boxes.shown.empty());
  // One line for each loss and each return.
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "videozarnix: the virtual camera lost PipeWire; it comes back when PipeWire does\n"
            "videozarnix: the virtual camera is back on PipeWire\n"
            "videozarnix: the virtual camera lost PipeWire; it comes back when PipeWire does\n");
}

}  // namespace
}  // namespace vz::test
