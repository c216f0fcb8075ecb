// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/controller_command_line.h"

#include <QCommandLineParser>

namespace vz {

void addControllerOptions(QCommandLineParser& parser) {
  for (const ControllerOptionSpec& s : kControllerOptionSpecs)
    parser.addOption(QCommandLineOption(QString::fromUtf8(s.name), QString::fromUtf8(s.help),
                                        QString::fromUtf8(s.valueName)));
}

Status readControllerOptions(const QCommandLineParser& parser, ControllerOptions& options) {
  for (const ControllerOptionSpec& s : kControllerOptionSpecs) {
    const QString name = QString::fromUtf8(s.name);
    if (!parser.isSet(name)) continue;
    if (Status applied = applyControllerOption(s.name, parser.value(name).toStdString(), options);
        !applied)
      return applied;
  }
  return {};
}

}  // namespace vz
