// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/feedback_command_line.h"

#include <QCommandLineParser>

namespace vz {

void addFeedbackOptions(QCommandLineParser& parser) {
  for (const FeedbackOptionSpec& s : kFeedbackOptionSpecs)
    parser.addOption(QCommandLineOption(QString::fromUtf8(s.name), QString::fromUtf8(s.help),
                                        QString::fromUtf8(s.valueName)));
}

Status readFeedbackOptions(const QCommandLineParser& parser, FeedbackOptions& options) {
  const QString midi = QStringLiteral("midi-feedback");
  if (parser.values(midi).size() > 1)
    return Status::failure("--midi-feedback given more than once");
  for (const FeedbackOptionSpec& s : kFeedbackOptionSpecs)
    for (const QString& value : parser.values(QString::fromUtf8(s.name)))
      if (Status st = applyFeedbackOption(s.name, value.toStdString(), options); !st) return st;
  return {};
}

}  // namespace vz
