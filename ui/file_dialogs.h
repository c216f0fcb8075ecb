// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vz {

// Flags of the classic file dialogs that the commands use.
inline constexpr unsigned kOfnOverwritePrompt = 0x0002;
inline constexpr unsigned kOfnHideReadOnly = 0x0004;
inline constexpr unsigned kOfnFileMustExist = 0x1000;

struct FileFilter {
  std::string description;  // e.g. "Mpeg {*.mpg}"
  std::string pattern;      // e.g. "*.mpg" or "*.mp4 *.mkv", matched regardless of case
  bool operator==(const FileFilter&) const = default;
};

struct FileDialogRequest {
  std::string description;              // of the first filter, the one selected at first
  std::string pattern;                  // of the first filter
  unsigned flags = 0;                   // kOfn... bits
  std::string defaultExtension;         // appended to a name typed without one
  int maxChars = 512;                   // a longer path fails the dialog, as a full name buffer did
  std::vector<FileFilter> moreFilters;  // offered after the first, in this order

  std::vector<FileFilter> filters() const {
    std::vector<FileFilter> all{{description, pattern}};
    all.insert(all.end(), moreFilters.begin(), moreFilters.end());
    return all;
  }
};

// The system's open and save dialogs, owned by the main dialog. Paths are the file system's
// bytes (UTF-8 on our systems). Empty when cancelled or failed. Tests script the choice.
class FileDialogs {
 public:
  virtual ~FileDialogs() = default;
  virtual std::optional<std::string> getOpenFileName(const FileDialogRequest& request) = 0;
  virtual std::optional<std::string> getSaveFileName(const FileDialogRequest& request) = 0;
};

}  // namespace vz
