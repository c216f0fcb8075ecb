// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/file_dialogs.h"

class QWidget;

namespace vz {

class QtFileDialogs final : public FileDialogs {
 public:
  explicit QtFileDialogs(QWidget* owner) : owner_(owner) {}
  std::optional<std::string> getOpenFileName(const FileDialogRequest& request) override;
  std::optional<std::string> getSaveFileName(const FileDialogRequest& request) override;

 private:
  std::optional<std::string> run(const FileDialogRequest& request, bool save);
  QWidget* owner_;
};

// "*.mpg" as a pattern that matches any case ("*.[mM][pP][gG]").
std::string anyCasePattern(const std::string& pattern);

}  // namespace vz
