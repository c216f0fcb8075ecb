// SPDX-License-Identifier: GPL-3.0-or-later
// The dialog with its outputs, on a test camera: what the preview-menu and output-window
// tests both start from, and the ways they reach the preview's menu.
#pragma once

#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QTest>
#include <chrono>
#include <memory>
#include <string>

#include "app/effect_dialog.h"
#include "app/output_setup.h"
#include "app/preview_menu.h"
#include "app/preview_widget.h"
#include "source/media_graph_control.h"
#include "tests/dialog_fakes.h"
#include "tests/media_fakes.h"

namespace vz::test {

// The first action with that text, submenus included.
inline QAction* find(QMenu* menu, const QString& text) {
  for (QAction* a : menu->actions()) {
    if (a->text() == text) return a;
    if (a->menu() != nullptr)
      if (QAction* inner = find(a->menu(), text)) return inner;
  }
  return nullptr;
}

class OutputDialogFixture : public ::testing::Test {
 protected:
  ScriptedBoxes boxes;
  ScriptedFiles files;
  TestDeviceList devices;
  OutputStage stage;
  MediaGraphControl* media = nullptr;
  std::unique_ptr<EffectDialog> dialog;
  std::unique_ptr<OutputSetup> outputs;

  // Shows the dialog on a 160x120 camera of that test pattern; true once a frame is shown.
  bool startDialog(const char* pattern = "") {
    devices.add({{"FriendlyName", "Cam"}}, testPattern(160, 120, pattern));
    dialog = std::make_unique<EffectDialog>(
        [this](VideoEngine& e) {
          auto g = std::make_unique<MediaGraphControl>(e, boxes, devices);
          g->graph().setFrameSink(&stage);
          media = g.get();
          return g;
        },
        boxes, files);
    outputs = std::make_unique<OutputSetup>(*dialog, stage, boxes, files, [] {
      return OutputControl::Rate{30, 1};
    });
    dialog->OnInitDialog();
    dialog->show();
    return waitUntil([&] { return dialog->previewControl->hasShownFrame(); });
  }
  void TearDown() override {
    outputs.reset();
    dialog.reset();
  }
  template <class Pred>
  bool waitUntil(Pred pred) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!pred() && std::chrono::steady_clock::now() < end) QTest::qWait(20);
    return pred();
  }
  void choose(const QString& text) {
    std::unique_ptr<QMenu> menu(outputs->menu->build());
    QAction* a = find(menu.get(), text);
    ASSERT_NE(a, nullptr) << text.toStdString();
    ASSERT_TRUE(a->isEnabled()) << text.toStdString();
    a->trigger();
  }
  bool checked(const QString& text) {
    std::unique_ptr<QMenu> menu(outputs->menu->build());
    return find(menu.get(), text)->isChecked();
  }
};

}  // namespace vz::test
