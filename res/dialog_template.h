// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <span>

namespace vz {

// Statics first: the kinds before PushButton are decoration only.
enum class ControlKind : uint8_t {
  BlackRect,   // static filled black (the preview, the rules)
  GreyRect,    // static filled grey (rules around the palette area)
  BlackFrame,  // static black outline with a double (modal-frame) border
  Label,       // static text, left-aligned
  LabelRight,  // static text, right-aligned
  GroupBox,
  PushButton,
  CheckBox,     // automatic check box
  RadioButton,  // automatic radio button
  Slider,       // which way it runs is the settings table's (engine/setting_names.h)
};

// Style bits of a row.
inline constexpr unsigned kHidden = 1u << 0;      // never shown
inline constexpr unsigned kGroupStart = 1u << 1;  // first radio of a group
inline constexpr unsigned kMultiLine = 1u << 2;
inline constexpr unsigned kTextLeft = 1u << 3;  // check box text left of the box
inline constexpr unsigned kPushLike = 1u << 4;  // check box drawn as a push button
inline constexpr unsigned kDoubleBorder = 1u << 5;

inline constexpr int kNoId = -1;

// One control of the main dialog; the rectangle is in dialog units.
struct ControlRow {
  int id;
  ControlKind kind;
  const char* caption;
  int x, y, width, height;
  unsigned style;
};

// The main dialog (template 102): 408 x 317 dialog units, 110 controls in template order.
inline constexpr int kDialogWidthUnits = 408;
inline constexpr int kDialogHeightUnits = 317;

std::span<const ControlRow> dialogTemplate();

// Keyboard tab order of the visible tab-stop controls.
std::span<const int> dialogTabOrder();

// Dialog units to client pixels: 2.5 across, 2.25 down (base units of 10 x 18 pixels).
inline constexpr int unitsToPixelsX(int units) {
  return (units * 10 + 2) / 4;
}
inline constexpr int unitsToPixelsY(int units) {
  return (units * 18 + 4) / 8;
}

}  // namespace vz
