// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/tempo_command_line.h"

#include <QCommandLineParser>

namespace vz {

void addTempoOptions(QCommandLineParser& parser) {
  for (const TempoOptionSpec& s : kTempoOptionSpecs)
    parser.addOption(QCommandLineOption(QString::fromUtf8(s.name), QString::fromUtf8(s.help),
                                        QString::fromUtf8(s.valueName)));
}

bool readTempoOptions(const QCommandLineParser& parser, TempoOptions& options,
                      std::string* error) {
  for (const TempoOptionSpec& s : kTempoOptionSpecs) {
    const QString name = QString::fromUtf8(s.name);
    if (!parser.isSet(name)) continue;
    if (parser.values(name).size() > 1) {
      *error = std::string("--") + s.name + " given more than once";
      return false;
    }
    if (const Status st = applyTempoOption(s.name, parser.value(name).toStdString(), options);
        !st.ok()) {
      *error = st.message();
      return false;
    }
  }
  return true;
}

}  // namespace vz
