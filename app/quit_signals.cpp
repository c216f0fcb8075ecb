// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/quit_signals.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <csignal>

namespace vz {
namespace {

int wakeFds[2] = {-1, -1};
bool quitting = false;
QPointer<QWidget> mainWindow;

void onQuitSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(wakeFds[0], &byte, 1);  // async-signal-safe
}

// Menus, message boxes and file dialogs, innermost first, each as its Cancel or Escape would.
// A file dialog shown natively is no active Qt window: it is found among the top levels.
void closeWhatIsOpen() {
  for (int i = 0; i < 32; ++i) {
    QWidget* open = QApplication::activePopupWidget();
    if (open == nullptr) open = QApplication::activeModalWidget();
    if (open == nullptr) {
      for (QWidget* w : QApplication::topLevelWidgets())
        if (w != mainWindow && w->isVisible() && w->windowModality() != Qt::NonModal &&
            qobject_cast<QDialog*>(w) != nullptr)
          open = w;
    }
    if (open == nullptr || open == mainWindow) return;  // the window closes on its own way
    if (auto* dialog = qobject_cast<QDialog*>(open))
      dialog->reject();
    else
      open->close();
  }
}

// Closing the window releases the graph: not while the code that opened a box (maybe
// choosing a device of that graph) still waits on the stack for the box to return. So the
// window closes from the outermost loop, once it shows (at start-up it may not yet).
void closeMainWindowWhenUnwound() {
  auto* timer = new QTimer(qApp);
  QObject::connect(timer, &QTimer::timeout, timer, [timer] {
    closeWhatIsOpen();
    if (QThread::currentThread()->loopLevel() > 1 || !mainWindow || !mainWindow->isVisible())
      return;
    timer->deleteLater();
    mainWindow->close();
  });
  timer->start(10);
}

void onQuitRequest() {
  char bytes[16];
  [[maybe_unused]] const ssize_t n = ::read(wakeFds[1], bytes, sizeof bytes);
  if (quitting) return;
  quitting = true;
  closeWhatIsOpen();
  closeMainWindowWhenUnwound();
}

}  // namespace

void installQuitSignals() {
  if (wakeFds[0] >= 0) return;
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, wakeFds) != 0) return;
  auto* notifier = new QSocketNotifier(wakeFds[1], QSocketNotifier::Read, qApp);
  QObject::connect(notifier, &QSocketNotifier::activated, qApp, onQuitRequest);
  struct sigaction action {};
  action.sa_handler = onQuitSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  // A closed terminal, unless the user asked to outlive it (nohup ignores the signal).
  struct sigaction hangUp {};
  if (sigaction(SIGHUP, nullptr, &hangUp) == 0 && hangUp.sa_handler != SIG_IGN)
    sigaction(SIGHUP, &action, nullptr);
}

void closeOnQuitSignals(QWidget* window) {
  installQuitSignals();
  mainWindow = window;
}

bool quitRequested() {
  return quitting;
}

}  // namespace vz
