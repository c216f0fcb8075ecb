// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/result.h"

class QCommandLineParser;

namespace vz {

// How long a recall fades from the running look into the recalled one.
struct FadeOptions {
  double seconds = 0;  // 0: recalls cut
  double beats = 0;    // 0: off; with a running tempo it wins over the seconds
};

// --fade SECONDS and --fade-beats N on a Qt command-line parser: declared before process(),
// read after; a wrong value fails with the reason.
void addFadeOptions(QCommandLineParser& parser);
Status readFadeOptions(const QCommandLineParser& parser, FadeOptions& options);

}  // namespace vz
