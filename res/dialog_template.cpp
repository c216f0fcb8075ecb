// SPDX-License-Identifier: GPL-3.0-or-later
#include "res/dialog_template.h"

#include <array>

namespace vz {

namespace {

using K = ControlKind;

constexpr int kLetterX[26] = {45,  118, 84,  79, 74, 96, 113, 130, 159, 147, 164, 181, 152,
                              135, 176, 193, 40, 91, 62, 108, 142, 101, 57,  67,  125, 50};
constexpr int kLetterY[26] = {290, 303, 303, 290, 277, 290, 290, 290, 277, 290, 290, 290, 303,
                              303, 277, 277, 277, 277, 290, 277, 277, 303, 277, 303, 277, 303};
constexpr const char* kLetters[26] = {"A", "B", "C", "D", "E", "F", "G", "H", "I",
                                      "J", "K", "L", "M", "N", "O", "P", "Q", "R",
                                      "S", "T", "U", "V", "W", "X", "Y", "Z"};
constexpr const char* kPaletteCaptions[16] = {"16", "15", "14", "13", "12", "11", "10", "9",
                                              "8",  "7",  "6",  "5",  "4",  "3",  "2",  "1"};

constexpr auto makeTemplate() {
  std::array<ControlRow, 110> rows{};
  int n = 0;
  auto add = [&](ControlRow r) { rows[n++] = r; };
  add({1004, K::BlackRect, "", 7, 0, 286, 212, 0});
  add({1001, K::PushButton, "Run", 378, 53, 20, 11, kHidden});
  add({1005, K::PushButton, "Stop", 384, 56, 18, 11, kHidden});
  add({1006, K::PushButton, "Video", 395, 56, 9, 10, kHidden});
  add({1003, K::PushButton, "MPG", 398, 55, 8, 11, kHidden});
  add({1088, K::PushButton, "Button46", 396, 54, 10, 12, kHidden});
  add({1091, K::CheckBox, "AVI", 374, 305, 24, 11, kHidden});
  add({1049, K::RadioButton, "VIDEO", 370, 3, 32, 10, kGroupStart});
  add({1050, K::RadioButton, "MPEG", 370, 16, 32, 8, 0});
  add({kNoId, K::BlackFrame, "", 365, 0, 42, 29, kDoubleBorder});
  add({1002, K::PushButton, "Full Screen", 366, 33, 40, 27, kMultiLine});
  add({kNoId, K::GroupBox, "Mode", 365, 65, 42, 77, 0});
  add({1051, K::RadioButton, "Source", 367, 75, 36, 9, kGroupStart});
  add({1052, K::RadioButton, "Overflow", 367, 84, 38, 9, 0});
  add({1054, K::RadioButton, "LUT ", 367, 93, 31, 9, 0});
  add({1056, K::RadioButton, "LUT 2", 367, 102, 38, 9, 0});
  add({1053, K::RadioButton, "B+W Inv", 367, 111, 38, 9, 0});
  add({1055, K::RadioButton, "Color Inv", 367, 120, 38, 9, 0});
  add({1057, K::RadioButton, "Emboss", 367, 129, 36, 9, 0});
  add({1014, K::CheckBox, "Mirror", 372, 146, 33, 8, 0});
  add({1027, K::Slider, "", 371, 157, 11, 45, 0});
  add({1015, K::Slider, "", 392, 157, 12, 46, 0});
  add({kNoId, K::Label, "Color", 368, 202, 18, 8, 0});
  add({kNoId, K::Label, "Floor", 390, 202, 17, 8, 0});
  for (int i = 0; i < 16; ++i)
    add({1028 + i, K::PushButton, kPaletteCaptions[i], 349, 5 + 13 * i, 10, 9, 0});
  add({1044, K::PushButton, "Random", 295, 160, 30, 9, 0});
  add({1045, K::PushButton, "Ramp", 295, 173, 30, 9, 0});
  add({1046, K::PushButton, "Limit", 295, 187, 30, 9, 0});
  add({1047, K::PushButton, "Range", 295, 200, 30, 9, 0});
  add({kNoId, K::GreyRect, "", 291, 0, 2, 213, 0});
  add({kNoId, K::GreyRect, "", 361, 0, 2, 213, 0});
  add({kNoId, K::GreyRect, "", 292, 0, 71, 2, 0});
  add({kNoId, K::GreyRect, "", 291, 212, 72, 2, 0});
  add({kNoId, K::BlackRect, "", 0, 268, 408, 2, 0});
  add({kNoId, K::LabelRight, "RED >", 0, 226, 31, 8, 0});
  add({kNoId, K::LabelRight, "GREEN >", 0, 240, 31, 8, 0});
  add({kNoId, K::LabelRight, "BLUE >", 0, 253, 31, 8, 0});
  add({kNoId, K::GroupBox, " Gain ", 33, 216, 103, 49, 0});
  add({1009, K::Slider, "", 36, 226, 97, 10, 0});
  add({1010, K::Slider, "", 36, 239, 97, 11, 0});
  add({1011, K::Slider, "", 36, 252, 97, 10, 0});
  add({kNoId, K::GroupBox, "Invert", 143, 216, 27, 49, 0});
  add({1007, K::CheckBox, "", 154, 226, 8, 8, 0});
  add({1012, K::CheckBox, "", 154, 239, 8, 8, 0});
  add({1013, K::CheckBox, "", 154, 252, 8, 8, 0});
  add({kNoId, K::GroupBox, " LP Filter ", 178, 216, 46, 49, 0});
  add({1016, K::Slider, "", 180, 226, 42, 11, 0});
  add({1017, K::Slider, "", 180, 239, 42, 13, 0});
  add({1018, K::Slider, "", 180, 252, 42, 11, 0});
  add({kNoId, K::GroupBox, " Quantize ", 231, 216, 61, 49, 0});
  add({1019, K::Slider, "", 233, 226, 57, 13, 0});
  add({1020, K::Slider, "", 233, 239, 57, 13, 0});
  add({1021, K::Slider, "", 233, 252, 57, 10, 0});
  add({kNoId, K::GroupBox, " Tint ", 299, 216, 48, 49, 0});
  add({1008, K::Slider, "", 301, 226, 44, 13, 0});
  add({1025, K::Slider, "", 301, 239, 44, 13, 0});
  add({1026, K::Slider, "", 301, 252, 44, 11, 0});
  add({kNoId, K::GroupBox, " Output ", 353, 216, 53, 49, 0});
  add({1022, K::Slider, "", 355, 226, 49, 13, 0});
  add({1023, K::Slider, "", 355, 239, 49, 13, 0});
  add({1024, K::Slider, "", 355, 252, 49, 11, 0});
  add({kNoId, K::BlackFrame, "", 2, 273, 207, 44, kDoubleBorder});
  add({kNoId, K::Label, "PRESETS", 5, 278, 29, 9, 0});
  add({1084, K::CheckBox, "Save", 8, 297, 25, 11, kMultiLine | kTextLeft | kPushLike});
  for (int i = 0; i < 26; ++i)
    add({1058 + i, K::PushButton, kLetters[i], kLetterX[i], kLetterY[i], 12, 10, kDoubleBorder});
  add({1086, K::PushButton, "Save Presets", 225, 280, 51, 10, 0});
  add({1087, K::PushButton, "Load Presets", 225, 301, 51, 10, 0});
  add({1089, K::PushButton, "Select MPEG", 301, 280, 51, 10, 0});
  add({1090, K::CheckBox, "Color Cycle", 303, 300, 52, 11, 0});
  add({1085, K::PushButton, "INFO", 373, 289, 21, 15, 0});
  if (n != 110) throw "the main dialog has 110 controls";
  return rows;
}

constexpr auto kTemplate = makeTemplate();

constexpr auto makeTabOrder() {
  std::array<int, 83> order{};
  int n = 0;
  for (int id = 1007; id <= 1024; ++id) order[n++] = id;  // 1007..1014, 1015, 1016..1024
  order[n++] = 1002;
  for (int id : {1025, 1026, 1027}) order[n++] = id;
  for (int id = 1028; id <= 1047; ++id) order[n++] = id;
  for (int id = 1049; id <= 1087; ++id) order[n++] = id;  // VIDEO, MPEG, modes, A..Z, Save..
  order[n++] = 1089;
  order[n++] = 1090;
  if (n != 83) throw "tab order covers every visible tab stop";
  return order;
}

constexpr auto kTabOrder = makeTabOrder();

}  // namespace

std::span<const ControlRow> dialogTemplate() {
  return kTemplate;
}
std::span<const int> dialogTabOrder() {
  return kTabOrder;
}

}  // namespace vz
