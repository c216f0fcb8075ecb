// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <functional>
#include <map>

#include "res/dialog_template.h"

class QButtonGroup;

namespace vz {

struct BuiltDialog {
  std::map<int, QWidget*> controls;         // by id; controls without an id are not listed
  std::map<int, QButtonGroup*> radioGroup;  // radio id to its exclusive group
};

// Makes the Qt widgets of a template inside `dialog`, at 2.5 x 2.25 pixels per dialog unit,
// hidden rows hidden, tab order as given. `custom` may supply the widget for a row (the
// preview); it returns null to let the builder make the usual one.
BuiltDialog buildDialog(QWidget* dialog,
                        const std::function<QWidget*(const ControlRow&, QWidget*)>& custom = {});

}  // namespace vz
