#include "app/qt_message_boxes.h"

#include <QMessageBox>

namespace vz {

int QtMessageBoxes::show(const std::string& text, const std::string& caption, unsigned style) {
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
  if ((style & 0xF) == kMbYesNo) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes ? kIdYes : kIdNo;
  }
  box.setStandardButtons(QMessageBox::Ok);
  box.exec();
  return kIdOk;
}

}  // namespace vz
