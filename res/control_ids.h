// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace vz {

// Control ids of the main dialog that the dialog's code refers to by name.
enum ControlId : int {
  kIdRun = 1001,
  kIdFullScreen = 1002,
  kIdMpg = 1003,
  kIdPreview = 1004,
  kIdStop = 1005,
  kIdVideo = 1006,
  kIdInvertRed = 1007,
  kIdTintRed = 1008,
  kIdGainRed = 1009,
  kIdGainGreen = 1010,
  kIdGainBlue = 1011,
  kIdInvertGreen = 1012,
  kIdInvertBlue = 1013,
  kIdMirror = 1014,
  kIdFloor = 1015,
  kIdLowPassRed = 1016,
  kIdLowPassGreen = 1017,
  kIdLowPassBlue = 1018,
  kIdQuantizeRed = 1019,
  kIdQuantizeGreen = 1020,
  kIdQuantizeBlue = 1021,
  kIdOutputRed = 1022,
  kIdOutputGreen = 1023,
  kIdOutputBlue = 1024,
  kIdTintGreen = 1025,
  kIdTintBlue = 1026,
  kIdColor = 1027,
  kIdPaletteFirst = 1028,  // "16" .. 1043 "1"
  kIdPaletteLast = 1043,
  kIdRandom = 1044,
  kIdRamp = 1045,
  kIdLimit = 1046,
  kIdRange = 1047,
  kIdVideoRadio = 1049,
  kIdMpegRadio = 1050,
  kIdModeFirst = 1051,  // Source; a radio's mode is its id - 1051
  kIdModeLast = 1057,
  kIdLetterA = 1058,  // .. 1083 "Z"
  kIdLetterZ = 1083,
  kIdLetterQ = 1058 + 16,
  kIdSaveToggle = 1084,
  kIdInfo = 1085,
  kIdSavePresets = 1086,
  kIdLoadPresets = 1087,
  kIdRefresh = 1088,
  kIdSelectMpeg = 1089,
  kIdColorCycle = 1090,
  kIdAvi = 1091,
};

}  // namespace vz
