// SPDX-License-Identifier: GPL-3.0-or-later
#include "panel/control_bindings.h"

#include "engine/setting_names.h"
#include "engine/shared_value.h"
#include "res/control_ids.h"

namespace vz {

namespace {

// The Quantize sliders also set the palette level masks.
struct MaskSlider {
  int id;
  int32_t VideoEngine::*field;
};
constexpr MaskSlider kMasks[] = {
    {kIdQuantizeRed, &VideoEngine::lutMaskRed},
    {kIdQuantizeGreen, &VideoEngine::lutMaskGreen},
    {kIdQuantizeBlue, &VideoEngine::lutMaskBlue},
};

enum class Sliders { All, Horizontal, Vertical };

// Calls f(id, field, reverseFrom) for each slider of the settings table that `which` names.
template <class F>
void forEachSlider(Sliders which, F f) {
  for (const NamedSetting& s : kNamedSettings) {
    const SettingControl& c = s.control;
    if (c.kind != SettingControl::Kind::Slider) continue;
    if (which != Sliders::All && c.vertical != (which == Sliders::Vertical)) continue;
    for (int ch = 0; ch < s.channels; ++ch) f(c.ids[ch], s.fields[ch].wide, c.reverseFrom);
  }
}

int engineValueAt(int position, int reverseFrom) {
  return reverseFrom != 0 ? reverseFrom - position : position;
}

// The effect controls, in the order mask bit 1 shows or hides them.
constexpr int kEffectControls[] = {
    kIdGainRed,     kIdGainGreen,   kIdGainBlue,      kIdLowPassRed,   kIdLowPassGreen,
    kIdLowPassBlue, kIdQuantizeRed, kIdQuantizeGreen, kIdQuantizeBlue, kIdTintRed,
    kIdOutputRed,   kIdOutputGreen, kIdOutputBlue,    kIdTintGreen,    kIdTintBlue,
    kIdColor,       kIdFloor,       kIdInvertRed,     kIdInvertGreen,  kIdInvertBlue,
};

void showAll(DialogOps& dialog, std::initializer_list<int> ids) {
  for (int id : ids) dialog.setWindowPos(id, kShowInPlace);
}

}  // namespace

void onHorizontalScroll(VideoEngine& e, const DialogOps& dialog) {
  forEachSlider(Sliders::Horizontal, [&](int id, int32_t VideoEngine::*field, int reverseFrom) {
    storeRelaxed(e.*field, engineValueAt(dialog.sliderPos(id), reverseFrom));
  });
  for (const MaskSlider& s : kMasks) storeRelaxed(e.*s.field, 15 << (dialog.sliderPos(s.id) >> 1));
}

void onVerticalScroll(VideoEngine& e, const DialogOps& dialog) {
  forEachSlider(Sliders::Vertical, [&](int id, int32_t VideoEngine::*field, int reverseFrom) {
    storeRelaxed(e.*field, engineValueAt(dialog.sliderPos(id), reverseFrom));
  });
}

void toggleFlag(uint8_t& flag) {
  storeRelaxed(flag, (loadRelaxed(flag) + 1) & 1);
}
void toggleFlag(int32_t& flag) {
  storeRelaxed(flag, (loadRelaxed(flag) + 1) & 1);
}

void showModeControls(DialogOps& dialog, unsigned mask) {
  if (mask & 2) {
    const unsigned flags = (mask & 1) ? kHideInPlace : kShowInPlace;
    for (int id : kEffectControls) dialog.setWindowPos(id, flags);
  }
  if (mask & 4) showAll(dialog, {kIdInvertRed, kIdInvertGreen, kIdInvertBlue});
  if (mask & 8) showAll(dialog, {kIdInvertRed});
  if (mask & 16) showAll(dialog, {kIdQuantizeRed, kIdOutputRed, kIdFloor, kIdInvertRed});
  if (mask & 32) showAll(dialog, {kIdLowPassRed, kIdColor});
}

void applyModeVisibility(DialogOps& dialog, int mode) {
  // Masks per mode: Source hides all, Overflow shows all, the others hide all and then
  // show their own.
  static constexpr unsigned kSecondMask[] = {0, 0, 8, 16, 4, 48, 16};
  if (mode < 0 || mode > 6) return;
  if (mode == 1) {
    showModeControls(dialog, 2);
    return;
  }
  showModeControls(dialog, 3);
  if (kSecondMask[mode] != 0) showModeControls(dialog, kSecondMask[mode]);
}

void onModeRadio(VideoEngine& e, DialogOps& dialog, int radioId) {
  const int mode = radioId - kIdModeFirst;
  applyModeVisibility(dialog, mode);
  storeRelaxed(e.mode, mode);
}

void refreshControls(const VideoEngine& e, DialogOps& dialog) {
  // The reversal maps engine values back to positions as it maps positions to values.
  forEachSlider(Sliders::All, [&](int id, int32_t VideoEngine::*field, int reverseFrom) {
    dialog.setSliderPos(id, engineValueAt(loadRelaxed(e.*field), reverseFrom));
  });
  // A flag byte from a bank may hold 2..255: any non-zero byte shows as checked.
  dialog.checkDlgButton(kIdInvertRed, loadRelaxed(e.invertRed) != 0);
  dialog.checkDlgButton(kIdInvertGreen, loadRelaxed(e.invertGreen) != 0);
  dialog.checkDlgButton(kIdInvertBlue, loadRelaxed(e.invertBlue) != 0);
  dialog.checkDlgButton(kIdMirror, loadRelaxed(e.mirror) != 0);
  dialog.checkRadioButton(kIdModeFirst, kIdModeLast, kIdModeFirst + loadRelaxed(e.mode));
  dialog.invalidateArea(kPaletteStripArea);
}

}  // namespace vz
