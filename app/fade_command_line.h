// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QCommandLineParser;

namespace vz {

// How long a recall fades from the running look into the recalled one.
struct FadeOptions {
  double seconds = 0;  // 0: recalls cut
  double beats = 0;    // 0: off; with a running tempo it wins over the seconds
};

// --fade SECONDS and --fade-beats N on a Qt command-line parser: declared before process(),
// read after. False with the reason in `error` when a value is wrong.
void addFadeOptions(QCommandLineParser& parser);
bool readFadeOptions(const QCommandLineParser& parser, FadeOptions& options, QString* error);

}  // namespace vz
