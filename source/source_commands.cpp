#include "source/source_commands.h"

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
  const FileDialogRequest request{"Mpeg {*.mpg}", "*.mpg", kOfnFileMustExist | kOfnHideReadOnly,
                                  "MPG"};
  if (std::optional<std::string> path = files_.getOpenFileName(request)) engine_.fileName = *path;
}

void SourceCommands::OnAviToggle() {
  engine_.aviFlag = (engine_.aviFlag + 1) & 1;
}

void SourceCommands::OnClose() {
  graph_.releaseGraph();
}

}  // namespace vz
