#include <chrono>
#include <string>
#include <thread>

#include "tests/media_fixture.h"

namespace vz::test {
namespace {

using namespace std::chrono_literals;

const std::string kCaption = "     Select Video Capture Device                        ";
const std::string kNoDevice = ">>> NO VIDEO CAPTURE DEVICE WAS SELECTED <<<";

class DeviceSelectionTest : public MediaTest {
 protected:
  // Three cameras known by name only, told apart by their picture width.
  void addThreeNamedCameras() {
    devices.add({{"FriendlyName", "Cam A"}}, testPattern(160, 120));
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
  EXPECT_EQ(boxes.shown[0].text, "Cam A");
  EXPECT_EQ(boxes.shown[1].text, "Cam B");
  expectOnlyDeviceQuestions();
  EXPECT_EQ(*devices.binds[1], 1);
  EXPECT_EQ(*devices.binds[2], 0);
  EXPECT_EQ(graph.captureFilter, nullptr);  // held by the graph only
  ASSERT_TRUE(recorder.waitFrames(3));
  EXPECT_EQ(recorder.lastWidth.load(), 176);

  switchTo(0);
  EXPECT_EQ(boxes.shown.size(), 2u);
  EXPECT_EQ(*devices.binds[1], 2);
  recorder.frames = 0;
  ASSERT_TRUE(recorder.waitFrames(3));
  EXPECT_EQ(recorder.lastWidth.load(), 176);
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

TEST_F(DeviceSelectionTest, DeviceWithDescriptionIsBoundWithoutAQuestion) {
  devices.add({{"Description", "Capture card"}, {"FriendlyName", "Card"}}, testPattern(160, 120));
  devices.add({{"FriendlyName", "Cam"}}, testPattern(320, 240));
  switchTo(0);
  ASSERT_EQ(boxes.shown.size(), 1u);  // no Yes was ever given
  EXPECT_EQ(boxes.shown[0].text, kNoDevice);
  EXPECT_EQ(*devices.binds[0], 1);
  ASSERT_TRUE(recorder.waitFrames(3));
  EXPECT_EQ(recorder.lastWidth.load(), 160);
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
  ASSERT_TRUE(recorder.waitFrames(3));
  EXPECT_EQ(recorder.lastWidth.load(), 320);

  devices.devices.resize(1);
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

// The question's text held 79 bytes: a longer name is cut where a character begins.
TEST_F(DeviceSelectionTest, LongNameIsCutAtACharacterBoundary) {
  const std::string name = std::string(78, 'x') + "\xC3\xA9" + "tail";
  devices.add({{"FriendlyName", name}}, testPattern(160, 120));
  switchTo(0);
  ASSERT_FALSE(boxes.shown.empty());
  EXPECT_EQ(boxes.shown[0].text, std::string(78, 'x'));
}

// A device that sends MJPEG gets a decoder before the grabber.
TEST_F(DeviceSelectionTest, CompressedCameraIsDecoded) {
  devices.add({{"Description", "MJPEG camera"}}, testPattern(320, 240) + " ! jpegenc");
  switchTo(0);
  ASSERT_TRUE(recorder.waitFrames(3));
  EXPECT_EQ(recorder.lastWidth.load(), 320);
  EXPECT_EQ(recorder.lastHeight.load(), 240);
}

}  // namespace
}  // namespace vz::test
