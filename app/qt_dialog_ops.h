// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPointer>
#include <QWidget>

#include "app/dialog_builder.h"
#include "ui/dialog_ops.h"

namespace vz {

// The dialog operations on Qt widgets made by buildDialog.
class QtDialogOps final : public DialogOps {
 public:
  QtDialogOps(QWidget* dialog, const BuiltDialog& built) : dialog_(dialog), built_(built) {}

  QWidget* control(int id) const;  // null for an unknown id

  bool hasControl(int id) const override { return control(id) != nullptr; }
  void setWindowPos(int id, unsigned flags) override;
  void placeControl(int id, int x, int y, int width, int height, Stacking stacking) override;
  bool isControlVisible(int id) const override;

  void setSliderRange(int id, int min, int max) override;
  int sliderPos(int id) const override;
  void setSliderPos(int id, int pos) override;
  void setSliderTickFrequency(int id, int frequency) override;
  void setSliderLineSize(int id, int size) override;
  void setSliderPageSize(int id, int size) override;

  void checkDlgButton(int id, bool checked) override;
  bool isDlgButtonChecked(int id) const override;
  void checkRadioButton(int first, int last, int id) override;

  void setFocusTo(int id) override;
  void setWindowText(const std::string& title) override;
  void invalidateArea(const ClientRect& area) override;

  void setWindowFramed(bool framed) override;
  void placeWindow(int x, int y, int width, int height) override;
  int screenWidth() const override;
  int screenHeight() const override;
  int iconWidth() const override;
  int iconHeight() const override;

 private:
  QWidget* dialog_;
  const BuiltDialog& built_;
  QPointer<QWidget> focusAcrossRestyle_;
};

}  // namespace vz
