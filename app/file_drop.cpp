// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/file_drop.h"

#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QTimer>
#include <QWidget>

namespace vz {

namespace {

std::vector<std::string> localPaths(const QMimeData* mime) {
  std::vector<std::string> paths;
  if (mime == nullptr || !mime->hasUrls()) return paths;
  for (const QUrl& url : mime->urls())
    if (url.isLocalFile()) paths.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
  return paths;
}

}  // namespace

FileDropTarget::FileDropTarget(QWidget* window, Handler onDrop)
    : QObject(window), window_(window), onDrop_(std::move(onDrop)) {
  // The controls take no drops, so a drop over any of them reaches the window.
  window_->setAcceptDrops(true);
  window_->installEventFilter(this);
}

bool FileDropTarget::eventFilter(QObject* watched, QEvent* event) {
  if (watched != window_) return false;
  switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
      auto* drag = static_cast<QDragMoveEvent*>(event);
      if (localPaths(drag->mimeData()).empty())
        drag->ignore();
      else
        drag->acceptProposedAction();
      return true;
    }
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(event);
      std::vector<std::string> paths = localPaths(drop->mimeData());
      if (paths.empty()) {
        drop->ignore();
        return true;
      }
      drop->acceptProposedAction();
      QTimer::singleShot(0, this, [this, paths = std::move(paths)] { onDrop_(paths); });
      return true;
    }
    default:
      return false;
  }
}

}  // namespace vz
