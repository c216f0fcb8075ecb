// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/result.h"
#include "control/controller_options.h"

class QCommandLineParser;

namespace vz {

// The controller options on a Qt command-line parser: declared before parsing, read after
// (failing with the reason when a value is wrong).
void addControllerOptions(QCommandLineParser& parser);
Status readControllerOptions(const QCommandLineParser& parser, ControllerOptions& options);

}  // namespace vz
