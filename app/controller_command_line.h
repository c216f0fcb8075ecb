// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include "control/controller_options.h"

class QCommandLineParser;

namespace vz {

// The controller options on a Qt command-line parser: declared before process(), read
// after. False with the reason in `error` when a value is wrong.
void addControllerOptions(QCommandLineParser& parser);
bool readControllerOptions(const QCommandLineParser& parser, ControllerOptions& options,
                           QString* error);

}  // namespace vz
