// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/dialog_builder.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>

#include "app/group_frame.h"
#include "app/track_bar.h"
#include "engine/setting_names.h"
#include "res/control_ids.h"

namespace vz {

namespace {

QFrame* filledFrame(QWidget* parent, const QColor& color) {
  auto* frame = new QFrame(parent);
  frame->setAutoFillBackground(true);
  QPalette palette = frame->palette();
  palette.setColor(QPalette::Window, color);
  frame->setPalette(palette);
  return frame;
}

QWidget* makeWidget(const ControlRow& row, QWidget* parent) {
  const QString caption = QString::fromUtf8(row.caption);
  switch (row.kind) {
    case ControlKind::BlackRect:
      return filledFrame(parent, Qt::black);
    case ControlKind::GreyRect:
      return filledFrame(parent, QColor(128, 128, 128));
    case ControlKind::BlackFrame: {
      auto* frame = new QFrame(parent);
      frame->setFrameShape(QFrame::Box);
      frame->setLineWidth(2);
      return frame;
    }
    case ControlKind::Label:
    case ControlKind::LabelRight: {
      auto* label = new QLabel(caption, parent);
      label->setAlignment((row.kind == ControlKind::LabelRight ? Qt::AlignRight : Qt::AlignLeft) |
                          Qt::AlignTop);
      return label;
    }
    case ControlKind::GroupBox:
      return new GroupFrame(caption, parent);
    case ControlKind::PushButton: {
      auto* button = new QPushButton(caption, parent);
      button->setAutoDefault(false);  // Enter is the dialog's, not the focused button's default
      return button;
    }
    case ControlKind::CheckBox: {
      if (row.style & kPushLike) {
        auto* button = new QPushButton(caption, parent);
        button->setCheckable(true);  // stays pressed in while checked
        button->setAutoDefault(false);
        return button;
      }
      auto* box = new QCheckBox(caption, parent);
      if (row.style & kTextLeft) box->setLayoutDirection(Qt::RightToLeft);
      return box;
    }
    case ControlKind::RadioButton:
      return new QRadioButton(caption, parent);
    case ControlKind::Slider: {
      // The settings table says which way a slider runs; the scroll handlers read it too.
      const NamedSetting* setting = settingForControl(row.id);
      const bool vertical = setting != nullptr && setting->control.vertical;
      return new TrackBar(vertical ? Qt::Vertical : Qt::Horizontal, parent);
    }
  }
  return nullptr;
}

bool isStatic(ControlKind kind) {
  return kind < ControlKind::PushButton;
}

}  // namespace

BuiltDialog buildDialog(QWidget* dialog,
                        const std::function<QWidget*(const ControlRow&, QWidget*)>& custom) {
  BuiltDialog built;
  QButtonGroup* group = nullptr;
  const auto tabOrder = dialogTabOrder();
  for (const ControlRow& row : dialogTemplate()) {
    QWidget* widget = custom ? custom(row, dialog) : nullptr;
    if (widget == nullptr) widget = makeWidget(row, dialog);
    widget->setGeometry(unitsToPixelsX(row.x), unitsToPixelsY(row.y), unitsToPixelsX(row.width),
                        unitsToPixelsY(row.height));
    // Statics are decoration and let clicks through, as in classic dialogs: a frame built
    // over the radios it surrounds must not take their clicks. The preview is the exception:
    // in full screen it covers the controls, and no click may reach them.
    if (isStatic(row.kind) && row.id != kIdPreview)
      widget->setAttribute(Qt::WA_TransparentForMouseEvents);
    const bool tabStop = std::find(tabOrder.begin(), tabOrder.end(), row.id) != tabOrder.end() ||
                         (row.style & kHidden && row.id != kNoId);
    widget->setFocusPolicy(tabStop ? Qt::StrongFocus : Qt::NoFocus);
    if (row.kind == ControlKind::RadioButton) {
      if (row.style & kGroupStart || group == nullptr) group = new QButtonGroup(dialog);
      group->addButton(static_cast<QRadioButton*>(widget), row.id);
      built.radioGroup[row.id] = group;
    }
    widget->setVisible(!(row.style & kHidden));
    if (row.id != kNoId) {
      widget->setObjectName(QString::number(row.id));
      built.controls[row.id] = widget;
    }
  }
  for (size_t i = 1; i < tabOrder.size(); ++i)
    QWidget::setTabOrder(built.controls.at(tabOrder[i - 1]), built.controls.at(tabOrder[i]));
  return built;
}

}  // namespace vz
