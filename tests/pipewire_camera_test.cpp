// SPDX-License-Identifier: GPL-3.0-or-later
// The program with a camera offered through a private PipeWire, as on today's desktops.
#include <gtest/gtest.h>

#include <QImage>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "source/sample_grabber.h"
#include "tests/dialog_fixture.h"
#include "tests/private_pipewire.h"

namespace vz::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const std::string kCameraNode = "vz-test-camera";
const std::string kCameraName = "Fake Camera";

// Ends the run with a message when a step has not returned in time: a hung GUI thread
// would otherwise keep the test (and the private daemons) waiting for ever.
class HangGuard {
 public:
  HangGuard(PrivatePipeWire& pw, std::chrono::seconds limit, const char* what)
      : thread_([this, &pw, limit, what] {
          std::unique_lock lock(mutex_);
          if (done_cv_.wait_for(lock, limit, [this] { return done_; })) return;
          std::fprintf(stderr, "FAILED: %s did not return within %lld s\n", what,
                       static_cast<long long>(limit.count()));
          pw.stopAll();
          std::_Exit(1);
        }) {}
  ~HangGuard() {
    {
      std::lock_guard lock(mutex_);
      done_ = true;
    }
    done_cv_.notify_all();
    thread_.join();
  }

 private:
  std::mutex mutex_;
  std::condition_variable done_cv_;
  bool done_ = false;
  std::thread thread_;
};

// One private PipeWire for the suite: the program's device monitor, once started, stays with the
// daemon it found for the rest of the process.
class PipeWireCamera : public DialogFixture {
 protected:
  static void SetUpTestSuite() { shared = std::make_unique<PrivatePipeWire>(); }
  static void TearDownTestSuite() { shared.reset(); }
  void SetUp() override {
    deviceList = &monitored;
    ASSERT_TRUE(pw.ok()) << pw.error();
    camera = pw.addCamera(kCameraNode, kCameraName, 320, 240);
    ASSERT_GT(camera, 0);
    ASSERT_TRUE(PrivatePipeWire::waitListed(kCameraName, 10s));
  }
  void TearDown() override {
    closeDialog();
    pw.removeCamera(camera);
  }

  // Opens the dialog as the program does; false when it took longer than a few seconds.
  bool openDialog() {
    const auto start = Clock::now();
    {
      HangGuard guard(pw, 30s, "opening the dialog");
      openWithMedia();
    }
    return Clock::now() - start < 3s;
  }
  void closeDialog() {
    if (!dialog) return;
    HangGuard guard(pw, 30s, "closing the dialog");
    dialog->close();
    dialog.reset();
  }
  // The camera's own frames, at its own size, reach the engine within the deadline.
  bool framesArrive(std::chrono::seconds deadline) {
    const auto end = Clock::now() + deadline;
    while (Clock::now() < end) {
      const GrabberSize size = sampleGrabberConnectedSize(media->graph().grabber);
      if (media->graph().framesDelivered() >= 10 && size.width == 320 && size.height == 240)
        return true;
      QTest::qWait(50);
    }
    return false;
  }
  bool cameraLost() { return media->graph().graph == nullptr; }
  // Black at each point of a coarse grid over the preview as drawn now.
  bool previewIsBlack() {
    const QImage shown = dialog->previewControl->grab().toImage();
    for (int y = 1; y < 8; ++y)
      for (int x = 1; x < 8; ++x)
        if ((shown.pixel(shown.width() * x / 8, shown.height() * y / 8) & 0xFFFFFF) != 0)
          return false;
    return true;
  }
  // A camera publisher that hung with its last reader is replaced under the same name.
  void replaceCamera() {
    closeDialog();
    pw.removeCamera(camera);
    camera = pw.addCamera(kCameraNode, kCameraName, 320, 240);
    PrivatePipeWire::waitListed(kCameraName, 10s);
  }

  static inline std::unique_ptr<PrivatePipeWire> shared;
  PrivatePipeWire& pw = *shared;
  pid_t camera = -1;
  MonitorDeviceList monitored;
};

TEST_F(PipeWireCamera, QuestionNamesItYesShowsTheDialogAndItsFramesReachTheEngine) {
  const bool played = withOneRetry(
      [&] {
        boxes.shown.clear();
        EXPECT_TRUE(openDialog()) << "the dialog took longer than 3 s to show";
        EXPECT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown.empty() ? "" : boxes.shown[0].text, kCameraName);
        EXPECT_EQ(dialog->engine.deviceChosen, 1);
        return framesArrive(10s);
      },
      [&] { replaceCamera(); });
  EXPECT_TRUE(played);
  // The camera is known by its node name, which a replug keeps.
  std::vector<std::unique_ptr<CaptureDevice>> listed = monitored.videoInputDevices();
  ASSERT_FALSE(listed.empty());
  EXPECT_EQ(listed[0]->key(), "pipewire:" + kCameraNode);
  EXPECT_EQ(media->graph().cameraMode().mode.width, 320);
  EXPECT_FALSE(media->graph().cameraMode().mode.compressed);
}

// Unplugged, the camera leaves black and one line; back under its node name it plays again by
// itself, where the preview was. A second camera coming and going changes nothing.
TEST_F(PipeWireCamera, UnpluggedCameraGoesBlackAndComesBackByItself) {
  ASSERT_TRUE(withOneRetry(
      [&] {
        openDialog();
        return framesArrive(10s);
      },
      [&] { replaceCamera(); }));
  dialog->dialogOps().placeControl(kIdPreview, 8, 16, 360, 240, Stacking::Bottom);
  const QRect place = dialog->control(kIdPreview)->geometry();
  const size_t questions = boxes.shown.size();
  ASSERT_FALSE(previewIsBlack());

  testing::internal::CaptureStderr();
  pw.removeCamera(camera);
  const bool lost = QTest::qWaitFor([&] { return cameraLost(); }, 10000);
  QTest::qWait(300);
  const std::string err = testing::internal::GetCapturedStderr();
  ASSERT_TRUE(lost);
  EXPECT_EQ(err, "videozarnix: camera \"" + kCameraName +
                     "\" is gone; showing black until it comes back\n");
  EXPECT_TRUE(previewIsBlack());

  const pid_t second = pw.addCamera("vz-test-camera-2", "Second Camera", 160, 120);
  ASSERT_TRUE(PrivatePipeWire::waitListed("Second Camera", 10s));
  QTest::qWait(300);
  EXPECT_TRUE(cameraLost());  // not the camera in use: nothing is built for it
  EXPECT_EQ(boxes.shown.size(), questions);

  const bool resumed = withOneRetry(
      [&] {
        camera = pw.addCamera(kCameraNode, kCameraName, 320, 240);
        return framesArrive(10s);
      },
      [&] {
        pw.removeCamera(camera);
        QTest::qWaitFor([&] { return cameraLost(); }, 10000);
      });
  ASSERT_TRUE(resumed);
  EXPECT_EQ(boxes.shown.size(), questions);
  EXPECT_EQ(dialog->control(kIdPreview)->geometry(), place);
  EXPECT_FALSE(previewIsBlack());

  GstElement* running = media->graph().graph;
  const long before = media->graph().framesDelivered();
  pw.removeCamera(second);
  QTest::qWait(500);
  EXPECT_EQ(media->graph().graph, running);
  EXPECT_GT(media->graph().framesDelivered(), before);
}

}  // namespace
}  // namespace vz::test
