// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/fade_command_line.h"

#include <QCommandLineParser>

#include "engine/fade_link.h"

namespace vz {

namespace {

struct FadeOptionSpec {
  const char* name;
  const char* help;
  double max;
  double FadeOptions::*field;
};

constexpr FadeOptionSpec kSpecs[] = {
    {"fade", "Recalls fade from the running look into the new one over SECONDS (0: they cut).",
     FadeLink::kMaxSeconds, &FadeOptions::seconds},
    {"fade-beats",
     "Recalls fade over N beats while a tempo runs; without one --fade applies (0: off).",
     FadeLink::kMaxBeats, &FadeOptions::beats},
};

}  // namespace

void addFadeOptions(QCommandLineParser& parser) {
  for (const FadeOptionSpec& s : kSpecs)
    parser.addOption(
        QCommandLineOption(QString::fromUtf8(s.name), QString::fromUtf8(s.help),
                           QString::fromUtf8(s.field == &FadeOptions::seconds ? "SECONDS" : "N")));
}

Status readFadeOptions(const QCommandLineParser& parser, FadeOptions& options) {
  for (const FadeOptionSpec& s : kSpecs) {
    const QString name = QString::fromUtf8(s.name);
    if (!parser.isSet(name)) continue;
    if (parser.values(name).size() > 1)
      return Status::failure(QStringLiteral("--%1 given more than once").arg(name).toStdString());
    bool ok = false;
    const double v = parser.value(name).toDouble(&ok);
    if (!ok || !(v >= 0 && v <= s.max)) {
      return Status::failure(QStringLiteral("--%1 takes a number from 0 to %2, not '%3'")
                                 .arg(name)
                                 .arg(s.max)
                                 .arg(parser.value(name))
                                 .toStdString());
    }
    options.*s.field = v;
  }
  return {};
}

}  // namespace vz
