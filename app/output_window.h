#pragma once

#include <gst/gst.h>

#include <QWidget>
#include <atomic>
#include <functional>

class QScreen;

namespace vz {

class OutputStage;

// A borderless full-screen window on one screen showing only the processed video, scaled to
// fit with its aspect kept (black bars). Fed by a branch of the output stage of its own:
// the branch's thread leaves the newest frame in a slot and asks for one repaint.
// Letter keys go to onLetter ('A'..'Z'); Escape closes it; so does its screen going away.
class OutputWindow final : public QWidget {
  Q_OBJECT

 public:
  static constexpr const char* kBranch = "window";

  OutputWindow(QScreen* screen, OutputStage& stage, std::function<void(char)> onLetter);
  ~OutputWindow() override;

  // Empty when the window shows, else why it could not start.
  const std::string& error() const { return error_; }
  QScreen* shownOn() const { return screen_; }
  int framesShown() const { return framesShown_; }

 signals:
  void closed();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  static GstFlowReturn onSample(GstElement* sink, gpointer self);

  OutputStage& stage_;
  QScreen* screen_;
  std::function<void(char)> onLetter_;
  std::atomic<GstSample*> slot_{nullptr};
  std::atomic<bool> repaintAsked_{false};
  GstSample* shown_ = nullptr;
  std::string error_;
  int framesShown_ = 0;
};

// "1" or a screen's name; null when no such screen.
QScreen* findScreen(const std::string& indexOrName);

}  // namespace vz
