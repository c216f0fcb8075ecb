// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/qt_file_dialogs.h"

#include <QFile>
#include <QFileDialog>
#include <cctype>

#include "app/keyboard_focus.h"
#include "app/quit_signals.h"

namespace vz {

std::string anyCasePattern(const std::string& pattern) {
  std::string out;
  for (char c : pattern) {
    const auto u = static_cast<unsigned char>(c);
    if (std::isalpha(u))
      out += std::string("[") + static_cast<char>(std::tolower(u)) +
             static_cast<char>(std::toupper(u)) + "]";
    else
      out += c;
  }
  return out;
}

std::optional<std::string> QtFileDialogs::run(const FileDialogRequest& request, bool save) {
  if (quitRequested()) return std::nullopt;  // the program is ending: cancelled
  const KeyboardKeeper keeper;  // the keyboard goes back where it was when the dialog closes
  QFileDialog dialog(owner_);
  dialog.setWindowModality(Qt::ApplicationModal);
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(!save && (request.flags & kOfnFileMustExist) ? QFileDialog::ExistingFile
                                                                  : QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !(request.flags & kOfnOverwritePrompt));
  // A filter shows as its description alone; the patterns behind it match any case.
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  QStringList filters;
  for (const FileFilter& f : request.filters())
    filters << QString::fromStdString(f.description + " (" + anyCasePattern(f.pattern) + ")");
  dialog.setNameFilters(filters);
  dialog.setDefaultSuffix(QString::fromStdString(request.defaultExtension));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  const QString path = dialog.selectedFiles().front();
  if (path.size() >= request.maxChars) return std::nullopt;
  return QFile::encodeName(path).toStdString();
}

std::optional<std::string> QtFileDialogs::getOpenFileName(const FileDialogRequest& request) {
  return run(request, false);
}

std::optional<std::string> QtFileDialogs::getSaveFileName(const FileDialogRequest& request) {
  return run(request, true);
}

}  // namespace vz
