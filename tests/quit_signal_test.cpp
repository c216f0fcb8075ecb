// SPDX-License-Identifier: GPL-3.0-or-later
// A quit signal while the program waits in a box: the real file dialog, menu and message box
// close as if cancelled, boxes asked afterwards answer at once as cancelled, and the main
// window closes only once the loops of those boxes have returned. Its own program: the
// quit, once asked, stays asked.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QMenu>
#include <QTimer>
#include <csignal>
#include <vector>

#include "app/qt_file_dialogs.h"
#include "app/qt_message_boxes.h"
#include "app/quit_signals.h"

namespace vz {
namespace {

TEST(QuitSignal, ClosesWhatIsOpenAsCancelledThenTheWindow) {
  installQuitSignals();
  QDialog window;
  closeOnQuitSignals(&window);
  window.show();
  std::vector<std::string> steps;
  QObject::connect(&window, &QDialog::finished, [&] { steps.push_back("window closed"); });

  QTimer::singleShot(0, [&] {
    // A menu, then a file dialog from it, as Load Presets opens one; the signal comes while
    // the dialog waits for the user.
    QMenu menu;
    menu.addAction(QStringLiteral("Load Presets..."));
    QTimer::singleShot(100, [&] {
      QtFileDialogs files(nullptr);
      QTimer::singleShot(300, [] { std::raise(SIGTERM); });
      const auto chosen = files.getOpenFileName({"Presets {*.pvl}", "*.pvl", kOfnFileMustExist});
      steps.push_back(chosen ? "file chosen" : "file dialog cancelled");
      QtMessageBoxes boxes;
      const int answer = boxes.show("Save presets before quitting?", "Video Zarnix",
                                    kMbYesNoCancel | kMbIconQuestion);
      steps.push_back(answer == kIdCancel ? "question cancelled" : "question answered");
    });
    menu.exec(QPoint(10, 10));
    steps.push_back("menu closed");
  });
  // The window's own loop, as the program runs it; a second one is a failure's way out.
  QEventLoop loop;
  QObject::connect(&window, &QDialog::finished, &loop, &QEventLoop::quit);
  QTimer::singleShot(20000, &loop, &QEventLoop::quit);
  loop.exec();
  EXPECT_FALSE(window.isVisible());
  EXPECT_TRUE(quitRequested());
  EXPECT_EQ(steps, (std::vector<std::string>{"file dialog cancelled", "question cancelled",
                                             "menu closed", "window closed"}));
}

}  // namespace
}  // namespace vz
