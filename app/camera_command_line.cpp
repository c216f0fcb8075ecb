// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/camera_command_line.h"

#include <QCommandLineParser>
#include <QRegularExpression>

namespace vz {
namespace {

// Larger than any camera, small enough that a typo is caught rather than passed on.
constexpr int kMaxSide = 16384;
constexpr int kMaxFps = 1000;

const QString kCamera = QStringLiteral("camera");
const QString kSize = QStringLiteral("camera-size");
const QString kFps = QStringLiteral("camera-fps");
const QString kList = QStringLiteral("list-cameras");

// A whole number in 1..max written in plain digits; 0 otherwise.
int positive(const QString& digits, int max) {
  static const QRegularExpression plain(QStringLiteral("^[0-9]{1,6}$"));
  if (!plain.match(digits).hasMatch()) return 0;
  const int n = digits.toInt();
  return n <= max ? n : 0;
}

std::string quoted(const QString& s) {
  return ("'" + s + "'").toLocal8Bit().toStdString();
}

}  // namespace

void addCameraOptions(QCommandLineParser& parser) {
  parser.addOption({kCamera,
                    QStringLiteral("Open the camera with this key (see --list-cameras) without "
                                   "asking which device to use."),
                    QStringLiteral("KEY")});
  parser.addOption({kSize,
                    QStringLiteral("Open the camera at this size, such as 1280x720 (else the "
                                   "nearest size it has)."),
                    QStringLiteral("WxH")});
  parser.addOption({kFps,
                    QStringLiteral("Open the camera at N frames a second (else the nearest "
                                   "rate it has)."),
                    QStringLiteral("N")});
  parser.addOption({kList, QStringLiteral("Print each camera's key, name and modes, and exit.")});
}

Status readCameraOptions(const QCommandLineParser& parser, CameraOptions& options) {
  for (const QString& name : {kCamera, kSize, kFps}) {
    if (parser.values(name).size() > 1) {
      return Status::failure(
          (QStringLiteral("--") + name + QStringLiteral(" given more than once")).toStdString());
    }
  }
  options.list = parser.isSet(kList);
  if (parser.isSet(kCamera)) {
    options.key = parser.value(kCamera).toLocal8Bit().toStdString();
    if (options.key.empty()) {
      return Status::failure("--camera needs a camera's key (--list-cameras prints them)");
    }
  }
  if (parser.isSet(kSize)) {
    const QString value = parser.value(kSize);
    const QStringList sides =
        value.split(QLatin1Char('x'), Qt::KeepEmptyParts, Qt::CaseInsensitive);
    options.mode.width = sides.size() == 2 ? positive(sides[0], kMaxSide) : 0;
    options.mode.height = sides.size() == 2 ? positive(sides[1], kMaxSide) : 0;
    if (options.mode.width == 0 || options.mode.height == 0) {
      return Status::failure("--camera-size takes WIDTHxHEIGHT such as 1280x720, not " +
                             quoted(value));
    }
  }
  if (parser.isSet(kFps)) {
    const QString value = parser.value(kFps);
    options.mode.fps = positive(value, kMaxFps);
    if (options.mode.fps == 0) {
      return Status::failure("--camera-fps takes a whole number of frames a second (1 to " +
                             std::to_string(kMaxFps) + "), not " + quoted(value));
    }
  }
  return {};
}

}  // namespace vz
