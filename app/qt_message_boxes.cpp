// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/qt_message_boxes.h"

#include <QMessageBox>

#include "app/keyboard_focus.h"
#include "app/quit_signals.h"

namespace vz {

int QtMessageBoxes::show(const std::string& text, const std::string& caption, unsigned style) {
  if (quitRequested()) {  // the program is ending: answered as Escape would
    switch (style & 0xF) {
      case kMbYesNo:
        return kIdNo;
      case kMbYesNoCancel:
        return kIdCancel;
      default:
        return kIdOk;
    }
  }
  QMessageBox box;
  box.setWindowModality(Qt::ApplicationModal);
  box.setWindowTitle(QString::fromStdString(caption));
  box.setText(QString::fromStdString(text));
  switch (style & 0xF0) {
    case kMbIconError:
      box.setIcon(QMessageBox::Critical);
      break;
    case kMbIconQuestion:
      box.setIcon(QMessageBox::Question);
      break;
    case kMbIconWarning:
      box.setIcon(QMessageBox::Warning);
      break;
    case kMbIconInformation:
      box.setIcon(QMessageBox::Information);
      break;
    default:
      box.setIcon(QMessageBox::NoIcon);
      break;
  }
  const KeyboardKeeper keeper;  // the keyboard goes back where it was when the box closes
  switch (style & 0xF) {
    case kMbYesNo:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      box.setDefaultButton(QMessageBox::Yes);
      box.setEscapeButton(QMessageBox::No);
      return box.exec() == QMessageBox::Yes ? kIdYes : kIdNo;
    case kMbYesNoCancel:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
      box.setDefaultButton(QMessageBox::Yes);
      box.setEscapeButton(QMessageBox::Cancel);
      switch (box.exec()) {
        case QMessageBox::Yes:
          return kIdYes;
        case QMessageBox::No:
          return kIdNo;
        default:
          return kIdCancel;
      }
    default:
      box.setStandardButtons(QMessageBox::Ok);
      box.exec();
      return kIdOk;
  }
}

}  // namespace vz
