// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "base/result.h"
#include "source/camera_modes.h"

class QCommandLineParser;

namespace vz {

// What the command line asks of the cameras.
struct CameraOptions {
  std::string key;    // --camera: opened without the device question; empty: the question
  ModeRequest mode;   // --camera-size, --camera-fps; zero: the camera's best mode
  bool list = false;  // --list-cameras: print the cameras and exit
};

// The camera options on a Qt command-line parser: declared before parsing, read after
// (failing with one line when a value is malformed).
void addCameraOptions(QCommandLineParser& parser);
Status readCameraOptions(const QCommandLineParser& parser, CameraOptions& options);

}  // namespace vz
