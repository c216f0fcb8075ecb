#include "presets/preset_commands.h"

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
bool report(BankIo result, const std::string& path, MessageBoxes& boxes) {
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
  }
  return false;
}

void completed(VideoEngine& engine, DialogOps& dialog, const std::string& path) {
  dialog.setWindowText("BANK:  " + path);
  engine.fullScreen = 0;  // the window itself stays as it is
}

}  // namespace

void storeOrRecallPreset(VideoEngine& engine, DialogOps& dialog, int slot) {
  if (engine.saveArmed == 1)
    storeSlot(engine, slot);
  else
    recallPreset(engine, dialog, slot);
  refreshControls(engine, dialog);
}

void toggleSaveArmed(VideoEngine& engine) {
  engine.saveArmed = (engine.saveArmed + 1) & 1;
}

void savePresets(VideoEngine& engine, DialogOps& dialog, MessageBoxes& boxes, FileDialogs& files) {
  const std::optional<std::string> path = files.getSaveFileName(bankRequest(kOfnOverwritePrompt));
  if (!path) return;
  if (report(saveBankFile(*path, engine), *path, boxes)) completed(engine, dialog, *path);
}

void loadPresets(VideoEngine& engine, DialogOps& dialog, MessageBoxes& boxes, FileDialogs& files) {
  const std::optional<std::string> path = files.getOpenFileName(bankRequest(kOfnFileMustExist));
  if (!path) return;
  if (report(loadBankFile(*path, engine), *path, boxes)) completed(engine, dialog, *path);
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
