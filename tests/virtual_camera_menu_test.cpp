// SPDX-License-Identifier: GPL-3.0-or-later
// The virtual camera's menu item across a PipeWire that goes away and returns: the check
// shows whether the camera is offered now, the camera comes back by itself, and turning it
// off and on again leaves nothing that holds up the end.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QTest>
#include <QWidget>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "app/output_control.h"
#include "app/preview_menu.h"
#include "tests/dialog_fakes.h"
#include "tests/private_pipewire.h"

namespace vz::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The camera's item as the menu would open now.
struct Item {
  QString text;
  bool checked = false;
};
Item cameraItem(PreviewMenu& menu) {
  std::unique_ptr<QMenu> built(menu.build());
  for (QAction* a : built->actions())
    if (a->text().startsWith("Virtual Camera")) return {a->text(), a->isChecked()};
  return {};
}

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
  EXPECT_EQ(cameraItem(menu).text, "Virtual Camera");
  EXPECT_TRUE(cameraItem(menu).checked);

  pw.killPipeWire();
  ASSERT_TRUE(QTest::qWaitFor([&] { return control->cameraWaiting(); }, 10000));
  EXPECT_FALSE(control->cameraOn());
  EXPECT_EQ(cameraItem(menu).text, "Virtual Camera (waiting for PipeWire)");
  EXPECT_FALSE(cameraItem(menu).checked);

  ASSERT_TRUE(pw.restartPipeWire()) << pw.error();
  ASSERT_TRUE(QTest::qWaitFor([&] { return control->cameraOn(); }, 10000));
  EXPECT_EQ(cameraItem(menu).text, "Virtual Camera");
  EXPECT_TRUE(cameraItem(menu).checked);

  // Off and on again: a node of its own each time, offered at once.
  control->toggleVirtualCamera();
  EXPECT_FALSE(control->cameraOn());
  EXPECT_FALSE(cameraItem(menu).checked);
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
  EXPECT_EQ(cameraItem(menu).text, "Virtual Camera");

  control->toggleVirtualCamera();
  ASSERT_TRUE(control->cameraOn());
  const auto asked = Clock::now();
  control.reset();  // as the program's end does
  RecordProperty(
      "end_ms",
      static_cast<int>(
          std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - asked).count()));
  EXPECT_TRUE(boxes.shown.empty());
  // One line for each loss and each return.
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(said,
            "videozarnix: the virtual camera lost PipeWire; it comes back when PipeWire does\n"
            "videozarnix: the virtual camera is back on PipeWire\n"
            "videozarnix: the virtual camera lost PipeWire; it comes back when PipeWire does\n");
}

}  // namespace
}  // namespace vz::test
