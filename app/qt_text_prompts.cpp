// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/qt_text_prompts.h"

#include <QInputDialog>

namespace vz {

std::optional<std::string> QtTextPrompts::askText(const std::string& title,
                                                  const std::string& label,
                                                  const std::string& initial) {
  bool ok = false;
  const QString answer =
      QInputDialog::getText(parent_, QString::fromStdString(title), QString::fromStdString(label),
                            QLineEdit::Normal, QString::fromStdString(initial), &ok);
  if (!ok) return std::nullopt;
  return answer.toStdString();
}

}  // namespace vz
