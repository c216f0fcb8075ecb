// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>
#include <optional>
#include <string>

#include "app/camera_command_line.h"
#include "control/controller_options.h"
#include "output/record_format.h"
#include "tempo/tempo_options.h"

namespace vz {

// What the command line asks of a start. Options of later features join here and in the
// option table of command_line.cpp.
struct StartOptions {
  std::string file;      // an MPEG file to play instead of the camera; empty: the camera
  std::string bankFile;  // loaded as Load Presets does
  int presetSlot = -1;   // recalled after the bank, as its letter key does; -1: none
  std::optional<RecordFormat> record;
  std::string recordCodec;    // for --record and the menu's recordings; empty: the default
  std::string virtualCamera;  // auto, pipewire or a device path; empty: none
  std::string outputScreen;   // a 0-based index or a screen name; empty: none
  bool loopClips = true;      // false (--no-loop): a clip holds its last frame at its end
  ControllerOptions controllers;
  CameraOptions cameras;
  TempoOptions tempo;
};

struct CommandLine {
  bool run = false;     // false: exit with exitCode after printing message
  int exitCode = 0;     // 0 for --help, 2 for bad usage
  std::string message;  // --help's text (stdout) or one line for stderr
  StartOptions options;
};

// Reads the arguments (the program's name first). Everything that can be checked before a
// window exists is checked here: malformed values, a missing or short bank, an existing
// record file, a codec the container cannot hold.
CommandLine parseCommandLine(const QStringList& arguments);

}  // namespace vz
