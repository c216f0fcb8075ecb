// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <functional>
#include <string>
#include <vector>

class QWidget;

namespace vz {

// Takes files dropped from a file manager anywhere on a window, its controls included, and
// hands their local paths (the file system's bytes) to a handler in the next turn of the
// event loop, so the file manager is not kept waiting. Drops without a local file are refused.
class FileDropTarget final : public QObject {
 public:
  using Handler = std::function<void(const std::vector<std::string>& paths)>;
  FileDropTarget(QWidget* window, Handler onDrop);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* window_;
  Handler onDrop_;
};

}  // namespace vz
