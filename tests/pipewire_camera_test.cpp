// SPDX-License-Identifier: GPL-3.0-or-later
// The program with a camera offered through a private PipeWire, as on today's desktops.
#include <gtest/gtest.h>

#include <QImage>

#include "source/sample_grabber.h"
#include "tests/dialog_fixture.h"
#include "tests/private_pipewire.h"

namespace vz::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const std::string kCameraNode = "vz-test-camera";
const std::string kCameraName = "Fake Camera";

// The dialog over the real media graph on a private PipeWire with a camera in it.
class PipeWireCamera : public DialogFixture {
 protected:
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
  // (A hang runs into the test's time limit; the daemons, started with a parent-death
  // signal, go with the test's process.)
  bool openDialog() {
    const auto start = Clock::now();
    openWithMedia();
    return Clock::now() - start < 3s;
  }
  void closeDialog() {
    if (!dialog) return;
    dialog->close();
    dialog.reset();
  }
  // The camera's own frames, at its own size, reach the engine within the deadline.
  bool framesArrive(std::chrono::seconds deadline) {
    return QTest::qWaitFor(
        [&] {
          const GrabberSize size = sampleGrabberConnectedSize(media->graph().grabber);
          return media->graph().framesDelivered() >= 10 && size.width == 320 && size.height == 240;
        },
        static_cast<int>(deadline.count() * 1000));
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

  PrivatePipeWire pw;
  pid_t camera = -1;
  MonitorDeviceList monitored;
};

// The question names the camera; Yes shows the dialog at once and the camera's frames reach
// the engine. Unplugged, the camera leaves black and one line; back under its node name (its
// key, which a replug keeps) it plays again by itself, where the preview was. A second camera
// coming and going changes nothing.
TEST_F(PipeWireCamera, PlaysGoesBlackWhenUnpluggedAndComesBackByItself) {
  ASSERT_TRUE(withOneRetry(
      [&] {
        boxes.shown.clear();
        EXPECT_TRUE(openDialog()) << "the dialog took longer than 3 s to show";
        EXPECT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown.empty() ? "" : boxes.shown[0].text, kCameraName);
        EXPECT_EQ(dialog->engine.deviceChosen, 1);
        return framesArrive(10s);
      },
      [&] { replaceCamera(); }));
  std::vector<std::unique_ptr<CaptureDevice>> listed = monitored.videoInputDevices();
  ASSERT_FALSE(listed.empty());
  EXPECT_EQ(listed[0]->key(), "pipewire:" + kCameraNode);
  EXPECT_EQ(media->graph().cameraMode().mode.width, 320);
  EXPECT_FALSE(media->graph().cameraMode().mode.compressed);

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
        (void)QTest::qWaitFor([&] { return cameraLost(); }, 10000);
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
