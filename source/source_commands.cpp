// SPDX-License-Identifier: GPL-3.0-or-later
#include "source/source_commands.h"

#include <cstdio>

#include "base/terminal_safe.h"
#include "res/control_ids.h"

namespace vz {

namespace {
constexpr int kNoRadio = 0;
}

void SourceCommands::switchSource(int sourceIsFile, int radioToCheck) {
  graph_.stopAndRelease();
  engine_.sourceIsFile = sourceIsFile;
  dialog_.placeControl(kIdPreview, 0, 0, 720, 480, Stacking::Bottom);
  graph_.startSource(&preview_);
  graph_.run();
  if (radioToCheck != kNoRadio) dialog_.checkRadioButton(kIdVideoRadio, kIdMpegRadio, radioToCheck);
}

bool SourceCommands::checkFileChosen() {
  if (!engine_.fileName.empty()) return true;
  boxes_.show("You must select a Mpg file first.\n\n", "File not selected", kMbIconInformation);
  dialog_.checkRadioButton(kIdVideoRadio, kIdMpegRadio, kIdVideoRadio);
  return false;
}

void SourceCommands::OnVideoRadio() {
  switchSource(0, kNoRadio);
}

void SourceCommands::OnMpegRadio() {
  if (checkFileChosen()) switchSource(1, kNoRadio);
}

void SourceCommands::OnRun() {
  if (checkFileChosen()) switchSource(1, kIdMpegRadio);
}

void SourceCommands::OnStop() {
  switchSource(0, kIdVideoRadio);
}
void SourceCommands::OnVideo() {
  switchSource(0, kNoRadio);
}
void SourceCommands::OnMpg() {
  switchSource(1, kNoRadio);
}

void SourceCommands::OnSelectMpeg() {
  const FileDialogRequest request{
      .description = "Mpeg {*.mpg}",
      .pattern = "*.mpg",
      .flags = kOfnFileMustExist | kOfnHideReadOnly,
      .defaultExtension = "MPG",
      .moreFilters = {{"Video files",
                       "*.mp4 *.m4v *.mkv *.webm *.mov *.avi *.mpg *.mpeg *.m2v *.ts *.mts *.ogv "
                       "*.flv"},
                      {"Images", "*.png *.jpg *.jpeg"},
                      {"All files (*)", "*"}}};
  if (std::optional<std::string> path = files_.getOpenFileName(request)) engine_.fileName = *path;
}

void SourceCommands::OnDropFiles(const std::vector<std::string>& paths) {
  if (paths.empty()) return;
  const std::string& path = paths.front();
  if (const Status playable = graph_.checkPlayable(path); !playable) {
    std::fprintf(stderr, "videozarnix: %s; the current source keeps playing\n",
                 terminalSafe(playable.message()).c_str());
    return;
  }
  engine_.fileName = path;
  switchSource(1, kIdMpegRadio);
}

void SourceCommands::OnAviToggle() {
  engine_.aviFlag = (engine_.aviFlag + 1) & 1;
}

void SourceCommands::OnClose() {
  graph_.releaseGraph();
}

}  // namespace vz
