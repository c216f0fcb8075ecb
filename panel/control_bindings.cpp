#include "panel/control_bindings.h"

#include "engine/shared_value.h"
#include "res/control_ids.h"

namespace vz {

namespace {

struct SliderSetting {
  int id;
  int32_t VideoEngine::*field;
};

// Horizontal sliders in the order they are read.
constexpr SliderSetting kHorizontal[] = {
    {kIdTintGreen, &VideoEngine::tintGreen},
    {kIdTintBlue, &VideoEngine::tintBlue},
    {kIdTintRed, &VideoEngine::tintRed},
    {kIdGainRed, &VideoEngine::gainRed},
    {kIdGainGreen, &VideoEngine::gainGreen},
    {kIdGainBlue, &VideoEngine::gainBlue},
    {kIdLowPassRed, &VideoEngine::lowPassRed},
    {kIdLowPassGreen, &VideoEngine::lowPassGreen},
    {kIdLowPassBlue, &VideoEngine::lowPassBlue},
    {kIdQuantizeRed, &VideoEngine::quantizeRed},
    {kIdQuantizeGreen, &VideoEngine::quantizeGreen},
    {kIdQuantizeBlue, &VideoEngine::quantizeBlue},
};
constexpr SliderSetting kMasks[] = {
    {kIdQuantizeRed, &VideoEngine::lutMaskRed},
    {kIdQuantizeGreen, &VideoEngine::lutMaskGreen},
    {kIdQuantizeBlue, &VideoEngine::lutMaskBlue},
};
constexpr SliderSetting kOutputs[] = {
    {kIdOutputRed, &VideoEngine::outputRed},
    {kIdOutputGreen, &VideoEngine::outputGreen},
    {kIdOutputBlue, &VideoEngine::outputBlue},
};

// Sliders in the order a refresh sets them, with the setting they show.
constexpr SliderSetting kRefreshed[] = {
    {kIdTintRed, &VideoEngine::tintRed},
    {kIdGainRed, &VideoEngine::gainRed},
    {kIdGainGreen, &VideoEngine::gainGreen},
    {kIdGainBlue, &VideoEngine::gainBlue},
    {kIdFloor, &VideoEngine::floor},
    {kIdLowPassRed, &VideoEngine::lowPassRed},
    {kIdLowPassGreen, &VideoEngine::lowPassGreen},
    {kIdLowPassBlue, &VideoEngine::lowPassBlue},
    {kIdQuantizeRed, &VideoEngine::quantizeRed},
    {kIdQuantizeGreen, &VideoEngine::quantizeGreen},
    {kIdQuantizeBlue, &VideoEngine::quantizeBlue},
    {kIdOutputRed, &VideoEngine::outputRed},
    {kIdOutputGreen, &VideoEngine::outputGreen},
    {kIdOutputBlue, &VideoEngine::outputBlue},
    {kIdTintGreen, &VideoEngine::tintGreen},
    {kIdTintBlue, &VideoEngine::tintBlue},
    {kIdColor, &VideoEngine::colorAmount},
};

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
  for (const SliderSetting& s : kHorizontal) storeRelaxed(e.*s.field, dialog.sliderPos(s.id));
  for (const SliderSetting& s : kMasks)
    storeRelaxed(e.*s.field, 15 << (dialog.sliderPos(s.id) >> 1));
  for (const SliderSetting& s : kOutputs) storeRelaxed(e.*s.field, dialog.sliderPos(s.id));
}

void onVerticalScroll(VideoEngine& e, const DialogOps& dialog) {
  storeRelaxed(e.floor, 255 - dialog.sliderPos(kIdFloor));
  storeRelaxed(e.colorAmount, 100 - dialog.sliderPos(kIdColor));
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
  for (const SliderSetting& s : kRefreshed) {
    int value = loadRelaxed(e.*s.field);
    if (s.id == kIdFloor) value = 255 - value;
    if (s.id == kIdColor) value = 100 - value;
    dialog.setSliderPos(s.id, value);
  }
  // A flag byte from a bank may hold 2..255: any non-zero byte shows as checked.
  dialog.checkDlgButton(kIdInvertRed, loadRelaxed(e.invertRed) != 0);
  dialog.checkDlgButton(kIdInvertGreen, loadRelaxed(e.invertGreen) != 0);
  dialog.checkDlgButton(kIdInvertBlue, loadRelaxed(e.invertBlue) != 0);
  dialog.checkDlgButton(kIdMirror, loadRelaxed(e.mirror) != 0);
  dialog.checkRadioButton(kIdModeFirst, kIdModeLast, kIdModeFirst + loadRelaxed(e.mode));
  dialog.invalidateArea(kPaletteStripArea);
}

}  // namespace vz
