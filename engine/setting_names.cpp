// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/setting_names.h"

#include "engine/shared_value.h"

namespace vz {

const NamedSetting* findSetting(std::string_view name) {
  for (const NamedSetting& s : kNamedSettings)
    if (name == s.name) return &s;
  return nullptr;
}

int findModeName(std::string_view name) {
  for (int m = 0; m < static_cast<int>(std::size(kModeNames)); ++m)
    if (name == kModeNames[m]) return m;
  return -1;
}

const NamedSetting* settingForControl(int id, int* channel) {
  for (const NamedSetting& s : kNamedSettings)
    for (int c = 0; c < s.channels; ++c)
      if (s.control.kind != SettingControl::Kind::None && s.control.ids[c] == id) {
        if (channel != nullptr) *channel = c;
        return &s;
      }
  return nullptr;
}

void storeSetting(VideoEngine& e, const SettingField& field, int value) {
  if (field.wide != nullptr) storeRelaxed(e.*field.wide, value);
  if (field.byte != nullptr) storeRelaxed(e.*field.byte, value);
}

}  // namespace vz
