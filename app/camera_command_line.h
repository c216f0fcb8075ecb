// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "source/camera_modes.h"

class QCommandLineParser;

namespace vz {

// What the command line asks of the cameras.
struct CameraOptions {
  std::string key;    // --camera: opened without the device question; empty: the question
  ModeRequest mode;   // --camera-size, --camera-fps; zero: the camera's best mode
  bool list = false;  // --list-cameras: print the cameras and exit
};

// The camera options on a Qt command-line parser: declared before parsing, read after.
// False with one line in `error` when a value is malformed.
void addCameraOptions(QCommandLineParser& parser);
bool readCameraOptions(const QCommandLineParser& parser, CameraOptions& options,
                       std::string* error);

}  // namespace vz
