// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/qt_dialog_ops.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QGuiApplication>
#include <QScreen>
#include <QStyle>

#include "app/keyboard_focus.h"
#include "app/track_bar.h"

namespace vz {

namespace {

TrackBar* slider(const QtDialogOps& ops, int id) {
  return qobject_cast<TrackBar*>(ops.control(id));
}
QAbstractButton* button(const QtDialogOps& ops, int id) {
  return qobject_cast<QAbstractButton*>(ops.control(id));
}

// An exclusive group refuses to uncheck its checked button; lift that for a moment.
void setChecked(QAbstractButton* b, bool checked) {
  QButtonGroup* group = b->group();
  const bool exclusive = group && group->exclusive();
  if (exclusive) group->setExclusive(false);
  b->setChecked(checked);
  if (exclusive) group->setExclusive(true);
}

}  // namespace

QWidget* QtDialogOps::control(int id) const {
  const auto it = built_.controls.find(id);
  return it == built_.controls.end() ? nullptr : it->second;
}

void QtDialogOps::setWindowPos(int id, unsigned flags) {
  if (QWidget* w = control(id)) {
    if (flags == kShowInPlace) w->show();
    if (flags == kHideInPlace) w->hide();
  }
}

void QtDialogOps::placeControl(int id, int x, int y, int width, int height, Stacking stacking) {
  if (QWidget* w = control(id)) {
    w->setGeometry(x, y, width, height);
    stacking == Stacking::Bottom ? w->lower() : w->raise();
    w->show();
  }
}

bool QtDialogOps::isControlVisible(int id) const {
  QWidget* w = control(id);
  return w && !w->isHidden();
}

void QtDialogOps::setSliderRange(int id, int min, int max) {
  if (TrackBar* s = slider(*this, id)) s->setTrackRange(min, max);
}

int QtDialogOps::sliderPos(int id) const {
  const TrackBar* s = slider(*this, id);
  return s ? s->value() : 0;
}

void QtDialogOps::setSliderPos(int id, int pos) {
  if (TrackBar* s = slider(*this, id)) s->setPosition(pos);
}

void QtDialogOps::setSliderTickFrequency(int id, int frequency) {
  if (TrackBar* s = slider(*this, id)) s->setTickInterval(frequency);
}

void QtDialogOps::setSliderLineSize(int id, int size) {
  if (TrackBar* s = slider(*this, id)) s->setLineSize(size);
}

void QtDialogOps::setSliderPageSize(int id, int size) {
  if (TrackBar* s = slider(*this, id)) s->setPageSize(size);
}

void QtDialogOps::checkDlgButton(int id, bool checked) {
  if (QAbstractButton* b = button(*this, id)) setChecked(b, checked);
}

bool QtDialogOps::isDlgButtonChecked(int id) const {
  const QAbstractButton* b = button(*this, id);
  return b && b->isChecked();
}

void QtDialogOps::checkRadioButton(int first, int last, int id) {
  for (int other = first; other <= last; ++other)
    if (QAbstractButton* b = button(*this, other)) setChecked(b, other == id);
}

void QtDialogOps::setFocusTo(int id) {
  if (QWidget* w = control(id)) w->setFocus(Qt::OtherFocusReason);
}

void QtDialogOps::setWindowText(const std::string& title) {
  dialog_->setWindowTitle(QString::fromStdString(title));
}

void QtDialogOps::invalidateArea(const ClientRect& a) {
  dialog_->update(QRect(a.left, a.top, a.right - a.left, a.bottom - a.top));
}

void QtDialogOps::setWindowFramed(bool framed) {
  Qt::WindowFlags flags = dialog_->windowFlags();
  flags.setFlag(Qt::FramelessWindowHint, !framed);
  if (flags == dialog_->windowFlags()) return;
  // The new style re-creates the native window, which loses the keyboard; placeWindow gives
  // it back to the control that had it.
  focusAcrossRestyle_ = dialog_->focusWidget();
  dialog_->setWindowFlags(flags);  // takes effect when the window is placed and shown again
}

void QtDialogOps::placeWindow(int x, int y, int width, int height) {
  // Wayland lets no client place its window: a borderless window the size of the screen
  // there becomes the compositor's full screen (over its panels too), and a framed one goes
  // where the compositor puts it.
  if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
    const bool coversScreen = dialog_->windowFlags().testFlag(Qt::FramelessWindowHint) &&
                              width == screenWidth() && height == screenHeight();
    dialog_->setWindowState(dialog_->windowState().setFlag(Qt::WindowFullScreen, coversScreen));
    if (coversScreen) {
      dialog_->show();
      returnKeyboard(dialog_, focusAcrossRestyle_);
      focusAcrossRestyle_ = nullptr;
      return;
    }
  }
  // Placement is of the whole window, frame included, as the window system places it.
  const QSize frame = dialog_->frameGeometry().size() - dialog_->geometry().size();
  dialog_->move(x, y);
  dialog_->resize(std::max(1, width - frame.width()), std::max(1, height - frame.height()));
  dialog_->show();
  dialog_->raise();
  returnKeyboard(dialog_, focusAcrossRestyle_);
  focusAcrossRestyle_ = nullptr;
}

int QtDialogOps::screenWidth() const {
  return QGuiApplication::primaryScreen()->geometry().width();
}
int QtDialogOps::screenHeight() const {
  return QGuiApplication::primaryScreen()->geometry().height();
}
int QtDialogOps::iconWidth() const {
  return dialog_->style()->pixelMetric(QStyle::PM_LargeIconSize);
}
int QtDialogOps::iconHeight() const {
  return iconWidth();
}

}  // namespace vz
