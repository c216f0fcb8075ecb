// SPDX-License-Identifier: GPL-3.0-or-later
#include <chrono>
#include <string>
#include <thread>

#include "tests/media_fakes.h"

namespace vz::test {
namespace {

using namespace std::chrono_literals;

const std::string kCaption = "     Select Video Capture Device                        ";
const std::string kNoDevice = ">>> NO VIDEO CAPTURE DEVICE WAS SELECTED <<<";

class DeviceSelectionTest : public MediaTest {
 protected:
  // Three cameras known by name only, told apart by their picture width. The first name is
  // longer than the question's 79 bytes of text: it is cut where a character begins.
  const std::string kLongName = std::string(78, 'x') + "\xC3\xA9" + "tail";
  void addThreeNamedCameras() {
    devices.add({{"FriendlyName", kLongName}}, testPattern(160, 120));
    devices.add({{"FriendlyName", "Cam B"}}, testPattern(176, 144));
    devices.add({{"FriendlyName", "Cam C"}}, testPattern(320, 240));
  }
  void expectOnlyDeviceQuestions(size_t from = 0) {
    for (size_t i = from; i < boxes.shown.size(); ++i) {
      EXPECT_EQ(boxes.shown[i].caption, kCaption);
      EXPECT_EQ(boxes.shown[i].style, kMbYesNo);
    }
  }
};

TEST_F(DeviceSelectionTest, NoThenYesBindsTheSecondAndLaterBuildsAskNothing) {
  addThreeNamedCameras();
  boxes.answers = {kIdNo, kIdYes};
  switchTo(0);
  ASSERT_EQ(boxes.shown.size(), 2u);
  EXPECT_EQ(boxes.shown[0].text, std::string(78, 'x'));
  EXPECT_EQ(boxes.shown[1].text, "Cam B");
  expectOnlyDeviceQuestions();
  EXPECT_EQ(*devices.binds[1], 1);
  EXPECT_EQ(*devices.binds[2], 0);
  EXPECT_EQ(graph.captureFilter, nullptr);  // held by the graph only
  EXPECT_EQ(recorder.widthAfter(3), 176);

  switchTo(0);
  EXPECT_EQ(boxes.shown.size(), 2u);
  EXPECT_EQ(*devices.binds[1], 2);
  recorder.frames = 0;
  EXPECT_EQ(recorder.widthAfter(3), 176);
}

TEST_F(DeviceSelectionTest, AllNoShowsTheErrorAtEveryCaptureBuild) {
  addThreeNamedCameras();
  boxes.answers = {kIdNo, kIdNo, kIdNo};
  switchTo(0);
  ASSERT_EQ(boxes.shown.size(), 4u);
  EXPECT_EQ(boxes.shown[3].text + "|" + boxes.shown[3].caption, kNoDevice + "|Error");
  EXPECT_EQ(boxes.shown[3].style, kMbOk);
  boxes.shown.pop_back();
  expectOnlyDeviceQuestions();
  EXPECT_EQ(engine.devicesDeclined, 3);
  switchTo(0);
  switchTo(0);
  EXPECT_EQ(boxes.shown.size(), 5u);  // the error alone at every later build
  EXPECT_EQ(boxes.count("Error"), 2);
  for (auto& binds : devices.binds) EXPECT_EQ(*binds, 0);
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(recorder.frames.load(), 0);
}

// The automatic pass counts positions, not identities.
TEST_F(DeviceSelectionTest, DevicesAddedOrRemovedBetweenBuildsShiftThePosition) {
  addThreeNamedCameras();
  boxes.answers = {kIdNo, kIdYes};
  engine.sourceIsFile = 0;
  graph.startSource(&recorder);
  devices.devices.erase(devices.devices.begin());
  devices.binds.erase(devices.binds.begin());
  switchTo(0);
  EXPECT_EQ(*devices.binds[1], 1);  // Cam C now stands second
  EXPECT_EQ(recorder.widthAfter(3), 320);

  devices.devices.erase(devices.devices.begin() + 1, devices.devices.end());
  devices.binds.resize(1);
  switchTo(0);
  EXPECT_EQ(*devices.binds[0], 1);  // Cam B, now at the declined position 0, is not taken again
  EXPECT_EQ(boxes.count("Error"), 0);
}

TEST_F(DeviceSelectionTest, NoDeviceAtAllGivesOneErrorPerBuildAndNoFrames) {
  switchTo(0);
  switchTo(0);
  ASSERT_EQ(boxes.shown.size(), 2u);
  EXPECT_EQ(boxes.count("Error"), 2);
  EXPECT_EQ(engine.autoSelectDevice, 1);
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(recorder.frames.load(), 0);
}

// A device with a description is bound without a question; one that sends MJPEG gets a decoder
// before the grabber.
TEST_F(DeviceSelectionTest, CompressedDeviceWithDescriptionIsBoundWithoutAQuestionAndDecoded) {
  devices.add({{"Description", "MJPEG camera"}, {"FriendlyName", "Card"}},
              testPattern(320, 240) + " ! jpegenc");
  devices.add({{"FriendlyName", "Cam"}}, testPattern(160, 120));
  switchTo(0);
  ASSERT_EQ(boxes.shown.size(), 1u);  // no Yes was ever given
  EXPECT_EQ(boxes.shown[0].text, kNoDevice);
  EXPECT_EQ(*devices.binds[0], 1);
  EXPECT_EQ(recorder.widthAfter(3), 320);
  EXPECT_EQ(recorder.lastHeight.load(), 240);
}

// A camera that opens but never delivers: the source starts without holding the caller, and
// after the first-frame deadline one stderr line and a black picture take the stale one's place.
TEST_F(DeviceSelectionTest, SilentCameraIsReportedOnceAndShownBlack) {
  devices.add({{"FriendlyName", "Mute cam"}}, testPattern(160, 120) + " ! valve drop=true");
  testing::internal::CaptureStderr();
  switchTo(0);
  const bool black = recorder.waitFrames(1, MediaGraph::kFirstFrameTimeout + 5s);
  std::this_thread::sleep_for(300ms);
  const std::string err = testing::internal::GetCapturedStderr();
  ASSERT_TRUE(black);
  EXPECT_EQ(recorder.frames.load(), 1);
  EXPECT_EQ(recorder.lastWidth.load(), 160);
  EXPECT_TRUE(recorder.black());
  EXPECT_EQ(err,
            "videozarnix: camera \"Mute cam\" delivered no picture within 5 s; showing black\n");
  EXPECT_EQ(graph.cameraMode().mode.width, 160);
}

// Cameras known by key: the one accepted is followed through unplugs; others never disturb it.
TEST_F(DeviceSelectionTest, CameraInUseGoesBlackOnUnplugAndComesBackByItsKey) {
  devices.add({{"FriendlyName", "Cam A"}, {"Key", "k:a"}}, testPattern(160, 120));
  const std::string grey = testPattern(176, 144, "background-color=0xff808080");
  devices.add({{"FriendlyName", "Cam B"}, {"Key", "k:b"}}, grey);
  boxes.answers = {kIdNo, kIdYes};
  switchTo(0);
  EXPECT_EQ(graph.cameraKey(), "k:b");
  ASSERT_TRUE(recorder.waitFrames(3));

  devices.unplug(1);
  const long atLoss = recorder.frames.load();
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(recorder.frames.load(), atLoss);  // the black picture was the last
  EXPECT_TRUE(recorder.black());

  devices.plug({{"FriendlyName", "Cam C"}, {"Key", "k:c"}}, testPattern(320, 240));
  devices.plug({{"FriendlyName", "Cam B"}, {"Key", "k:b"}}, grey);
  EXPECT_EQ(*devices.binds[1], 0);  // Cam C: not the camera in use
  EXPECT_EQ(*devices.binds[2], 1);  // Cam B resumed, though now at another position
  ASSERT_TRUE(recorder.waitFrames(atLoss + 3));
  GstElement* running = graph.graph;
  devices.unplug(0);
  devices.unplug(0);
  EXPECT_EQ(graph.graph, running);
  EXPECT_EQ(boxes.shown.size(), 2u);

  // A later source command, and a key set from outside, take the camera by key too.
  devices.add({{"FriendlyName", "Cam D"}, {"Key", "k:d"}}, testPattern(320, 240));
  graph.setCameraKey("k:d");
  switchTo(0);
  EXPECT_EQ(*devices.binds[1], 1);
  EXPECT_EQ(boxes.shown.size(), 2u);
}

// No camera bound: one that appears (even while a question is open) is offered, as at the
// VIDEO command; one declined before is not offered again.
TEST_F(DeviceSelectionTest, CameraAppearingWhereThereWasNoneIsOffered) {
  devices.add({{"FriendlyName", "Cam A"}, {"Key", "k:a"}}, testPattern(160, 120));
  struct PlugWhileAsking : MessageBoxes {
    TestDeviceList* devices;
    int show(const std::string&, const std::string&, unsigned style) override {
      if (style == kMbYesNo && devices->devices.size() == 1)
        devices->plug({{"FriendlyName", "Cam B"}, {"Key", "k:b"}}, testPattern(176, 144));
      return style == kMbYesNo ? kIdNo : kIdOk;
    }
  } plugger;
  plugger.devices = &devices;
  boxes.forwardTo = &plugger;
  switchTo(0);
  ASSERT_EQ(boxes.shown.size(), 3u);  // A, then B plugged meanwhile, then the error
  EXPECT_EQ(boxes.shown[1].text, "Cam B");
  boxes.forwardTo = nullptr;
  devices.unplug(0);
  devices.plug({{"FriendlyName", "Cam A"}, {"Key", "k:a"}}, testPattern(160, 120));
  EXPECT_EQ(boxes.shown.size(), 3u);
  devices.plug({{"FriendlyName", "Cam C"}, {"Key", "k:c"}}, testPattern(320, 240));
  ASSERT_EQ(boxes.shown.size(), 4u);
  EXPECT_EQ(boxes.shown[3].text, "Cam C");
  EXPECT_EQ(graph.cameraKey(), "k:c");
  EXPECT_EQ(recorder.widthAfter(3), 320);
}

}  // namespace
}  // namespace vz::test
