// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "base/result.h"
#include "tempo/tempo_options.h"

class QCommandLineParser;

namespace vz {

// The tempo options on a Qt command-line parser: declared before process(), read after.
// A wrong value fails with the reason.
void addTempoOptions(QCommandLineParser& parser);
Status readTempoOptions(const QCommandLineParser& parser, TempoOptions& options);

}  // namespace vz
