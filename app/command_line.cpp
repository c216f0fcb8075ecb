// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/command_line.h"

#include <fcntl.h>
#include <unistd.h>

#include <QCommandLineParser>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "app/camera_command_line.h"
#include "app/controller_command_line.h"
#include "app/tempo_command_line.h"
#include "app/version_text.h"
#include "engine/video_engine.h"
#include "output/record_target.h"
#include "presets/bank_file.h"

namespace vz {
namespace {

std::string text(const QString& s) {
  return s.toLocal8Bit().toStdString();
}

CommandLine usageError(const std::string& line) {
  CommandLine c;
  c.exitCode = 2;
  c.message = "videozarnix: " + line;
  return c;
}

// A missing bank, or a file that is none, fails here, before any window, rather than in a
// box later.
std::string checkBank(const std::string& path) {
  auto scratch = std::make_unique<VideoEngine>();
  std::string why;
  return bankProblem(loadBankFile(path, *scratch, &why), path, why);
}

}  // namespace

CommandLine parseCommandLine(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Live colour effects for cameras and MPEG files."));
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                QStringLiteral("Show this help and exit."));
  const QCommandLineOption version(
      QStringLiteral("version"),
      QStringLiteral("Show the version and the Qt and GStreamer in use, and exit."));
  const QCommandLineOption bank(QStringLiteral("bank"),
                                QStringLiteral("Load a preset bank (.pvl) at start-up."),
                                QStringLiteral("FILE"));
  const QCommandLineOption preset(QStringLiteral("preset"),
                                  QStringLiteral("Recall preset LETTER (A-Z) at start-up."),
                                  QStringLiteral("LETTER"));
  const QCommandLineOption record(
      QStringLiteral("record"),
      QStringLiteral("Record the processed video into FILE (.mkv, .mp4 or .webm); an "
                     "existing FILE is never overwritten."),
      QStringLiteral("FILE"));
  const QCommandLineOption recordCodec(
      QStringLiteral("record-codec"),
      QStringLiteral("Codec of recordings: h264 (.mkv, .mp4), vp8 or vp9 (.webm, .mkv), "
                     "ffv1 (lossless, .mkv)."),
      QStringLiteral("h264|vp8|vp9|ffv1"));
  const QCommandLineOption virtualCamera(
      QStringLiteral("virtual-camera"),
      QStringLiteral("Offer the processed video as a camera: auto, pipewire or a "
                     "v4l2loopback device such as /dev/video10."),
      QStringLiteral("auto|pipewire|DEVICE"));
  const QCommandLineOption outputScreen(
      QStringLiteral("output-screen"),
      QStringLiteral("Show the processed video full screen on screen N (0-based) or NAME."),
      QStringLiteral("N|NAME"));
  const QCommandLineOption noLoop(
      QStringLiteral("no-loop"),
      QStringLiteral("Hold a clip's last frame at its end instead of playing it again."));
  parser.addOptions(
      {help, version, bank, preset, record, recordCodec, virtualCamera, outputScreen, noLoop});
  addControllerOptions(parser);
  addCameraOptions(parser);
  addTempoOptions(parser);
  parser.addPositionalArgument(QStringLiteral("FILE"),
                               QStringLiteral("An MPEG file to play instead of the camera."),
                               QStringLiteral("[FILE]"));

  if (!parser.parse(arguments)) return usageError(text(parser.errorText()));
  if (parser.isSet(help)) {
    CommandLine c;
    // Without an application object the parser cannot know the program's name.
    c.message =
        text(parser.helpText()
                 .replace(QStringLiteral("<executable_name>"), QStringLiteral("videozarnix"))
                 .trimmed());
    return c;
  }
  if (parser.isSet(version)) {
    CommandLine c;
    c.message = versionText();
    return c;
  }
  for (const QCommandLineOption* single :
       {&bank, &preset, &record, &recordCodec, &virtualCamera, &outputScreen})
    if (parser.values(*single).size() > 1)
      return usageError("--" + text(single->names().first()) + " given more than once");
  if (parser.optionNames().count(QStringLiteral("no-loop")) > 1)
    return usageError("--no-loop given more than once");

  CommandLine c;
  StartOptions& o = c.options;
  if (QString error; !readControllerOptions(parser, o.controllers, &error))
    return usageError(text(error));
  if (std::string error; !readCameraOptions(parser, o.cameras, &error)) return usageError(error);
  if (std::string error; !readTempoOptions(parser, o.tempo, &error)) return usageError(error);
  const QStringList positional = parser.positionalArguments();
  if (positional.size() > 1) return usageError("more than one FILE given");
  if (!positional.isEmpty()) {
    // An empty name is a mistake (an unset variable), not a wish for the camera.
    if (positional.first().isEmpty())
      return usageError("the FILE given is empty: name a video file, or give none for the camera");
    o.file = text(positional.first());
  }

  if (parser.isSet(bank)) {
    o.bankFile = text(parser.value(bank));
    if (const std::string error = checkBank(o.bankFile); !error.empty()) return usageError(error);
  }
  if (parser.isSet(preset)) {
    const QString letter = parser.value(preset).toUpper();
    if (letter.size() != 1 || letter[0] < QLatin1Char('A') || letter[0] > QLatin1Char('Z'))
      return usageError("--preset takes one letter A to Z, not '" + text(parser.value(preset)) +
                        "'");
    o.presetSlot = letter[0].unicode() - 'A';
  }
  if (parser.isSet(recordCodec)) {
    o.recordCodec = text(parser.value(recordCodec));
    if (!isKnownCodecName(o.recordCodec))
      return usageError("unknown recording codec '" + o.recordCodec +
                        "': use h264, vp8, vp9 or ffv1");
  }
  if (parser.isSet(record)) {
    const RecordFormatResult r = resolveRecordFormat(text(parser.value(record)), o.recordCodec);
    if (!r.ok) return usageError(r.error);
    if (const std::string why = whyCannotRecordInto(text(parser.value(record)), r.format.path);
        !why.empty())
      return usageError(why);
    o.record = r.format;
  }
  if (parser.isSet(virtualCamera)) {
    o.virtualCamera = text(parser.value(virtualCamera));
    if (o.virtualCamera != "auto" && o.virtualCamera != "pipewire" &&
        o.virtualCamera.rfind("/dev/", 0) != 0)
      return usageError("--virtual-camera takes auto, pipewire or a /dev/videoN device, not '" +
                        o.virtualCamera + "'");
  }
  if (parser.isSet(outputScreen)) {
    o.outputScreen = text(parser.value(outputScreen));
    if (o.outputScreen.empty()) return usageError("--output-screen needs a screen number or name");
  }
  o.loopClips = !parser.isSet(noLoop);
  c.run = true;
  return c;
}

}  // namespace vz
