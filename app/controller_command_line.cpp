// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/controller_command_line.h"

#include <QCommandLineParser>

namespace vz {

void addControllerOptions(QCommandLineParser& parser) {
  for (const ControllerOptionSpec& s : kControllerOptionSpecs)
    parser.addOption(QCommandLineOption(QString::fromUtf8(s.name), QString::fromUtf8(s.help),
                                        QString::fromUtf8(s.valueName)));
}

bool readControllerOptions(const QCommandLineParser& parser, ControllerOptions& options,
                           QString* error) {
  for (const ControllerOptionSpec& s : kControllerOptionSpecs) {
    const QString name = QString::fromUtf8(s.name);
    if (!parser.isSet(name)) continue;
    if (const Status applied =
            applyControllerOption(s.name, parser.value(name).toStdString(), options);
        !applied) {
      *error = QString::fromStdString(applied.message());
      return false;
    }
  }
  return true;
}

}  // namespace vz
