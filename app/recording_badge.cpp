// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/recording_badge.h"

#include "app/output_control.h"

namespace vz {

namespace {

QString recordingText(const OutputControl& outputs) {
  if (!outputs.recording()) return {};
  const int s = static_cast<int>(outputs.recordingSeconds());
  return QStringLiteral("REC %1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}

}  // namespace

RecordingBadge::RecordingBadge(QWidget* preview, OutputControl& outputs,
                               std::function<bool()> fullScreen)
    : PreviewBadge(
          preview, {QRect(8, 8, 110, 24), QColor(255, 40, 40), true, 250},
          [&outputs] { return recordingText(outputs); }, std::move(fullScreen)) {
  connect(&outputs, &OutputControl::recordingChanged, this, &RecordingBadge::refresh);
}

}  // namespace vz
