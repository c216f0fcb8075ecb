// SPDX-License-Identifier: GPL-3.0-or-later
#include "panel/preset_commands.h"

#include "panel/control_bindings.h"
#include "panel/screen_input.h"
#include "presets/bank_file.h"
#include "presets/preset_slot.h"

namespace vz {

namespace {

FileDialogRequest bankRequest(unsigned flags) {
  return {"Pavlune Presets {*.pvl}", "*.pvl", flags | kOfnHideReadOnly, "PVL"};
}

// Reports a failure; true when the command completed.
bool report(BankIo result, const std::string& path, const std::string& why, MessageBoxes& boxes) {
  switch (result) {
    case BankIo::Ok:
      return true;
    case BankIo::CannotOpen:
      boxes.show("Can not open...", path, kMbTaskModal | kMbIconWarning);
      return false;
    case BankIo::CannotRead:
      boxes.show("Could not read...", "Error", kMbIconError);
      return false;
    case BankIo::CannotWrite:
      boxes.show("Could not write...", "Error", kMbIconError);
      return false;
    case BankIo::NotABank:  // a pipe, device or folder, or a file of another length
      boxes.show("Not a bank file: " + why, path, kMbTaskModal | kMbIconWarning);
      return false;
  }
  return false;
}

void completed(VideoEngine& engine, DialogOps& dialog, const std::string& path) {
  dialog.setWindowText("BANK:  " + path);
  engine.fullScreen = 0;  // the window itself stays as it is
}

}  // namespace

bool storeOrRecallPreset(VideoEngine& engine, DialogOps& dialog, int slot) {
  const bool store = engine.saveArmed == 1;
  if (store)
    storeSlot(engine, slot);
  else
    recallPreset(engine, dialog, slot);
  refreshControls(engine, dialog);
  return store;
}

void toggleSaveArmed(VideoEngine& engine) {
  engine.saveArmed = (engine.saveArmed + 1) & 1;
}

bool savePresets(VideoEngine& engine, DialogOps& dialog, MessageBoxes& boxes, FileDialogs& files) {
  const std::optional<std::string> path = files.getSaveFileName(bankRequest(kOfnOverwritePrompt));
  if (!path) return false;
  std::string why;
  if (!report(saveBankFile(*path, engine, &why), *path, why, boxes)) return false;
  completed(engine, dialog, *path);
  return true;
}

bool loadPresets(VideoEngine& engine, DialogOps& dialog, MessageBoxes& boxes, FileDialogs& files) {
  const std::optional<std::string> path = files.getOpenFileName(bankRequest(kOfnFileMustExist));
  if (!path) return false;
  std::string why;
  if (!report(loadBankFile(*path, engine, &why), *path, why, boxes)) return false;
  completed(engine, dialog, *path);
  return true;
}

std::string infoText() {
  std::string title = "Video Zarnix";
  title.resize(37, ' ');
  return "\n\n\n" + title + "\n\n\n" + "Live colour effects for cameras and MPEG files" +
         "\n\n\n\n\n" + "Made by the Video Zarnix developers" + "\n\n\n\n";
}

void showInfo(MessageBoxes& boxes) {
  boxes.show(infoText(), "Info", kMbIconInformation);
}

}  // namespace vz
