// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/result.h"
#include "control/feedback_options.h"

class QCommandLineParser;

namespace vz {

// The feedback options on a Qt command-line parser: declared before process(), read after.
void addFeedbackOptions(QCommandLineParser& parser);
Status readFeedbackOptions(const QCommandLineParser& parser, FeedbackOptions& options);

}  // namespace vz
