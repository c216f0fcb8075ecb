// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "tempo/tempo_options.h"

class QCommandLineParser;

namespace vz {

// The tempo options on a Qt command-line parser: declared before process(), read after.
// False with the reason in `error` when a value is wrong.
void addTempoOptions(QCommandLineParser& parser);
bool readTempoOptions(const QCommandLineParser& parser, TempoOptions& options, std::string* error);

}  // namespace vz
