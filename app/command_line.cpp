// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/command_line.h"

#include <fcntl.h>
#include <unistd.h>

#include <QCommandLineParser>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <utility>

#include "app/camera_command_line.h"
#include "app/controller_command_line.h"
#include "app/fade_command_line.h"
#include "app/feedback_command_line.h"
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
Status checkBank(const std::string& path) {
  auto scratch = std::make_unique<VideoEngine>();
  std::string why;
  const std::string problem = bankProblem(loadBankFile(path, *scratch, &why), path, why);
  return problem.empty() ? Status() : Status::failure(problem);
}

// Each group of options declares its options on the parser (addXOptions) and, once the
// arguments are parsed, reads their values into the start options (readXOptions).

// The look the program starts with: --bank, --preset.
void addLookOptions(QCommandLineParser& parser) {
  parser.addOption({QStringLiteral("bank"),
                    QStringLiteral("Load a preset bank (.pvl) at start-up."),
                    QStringLiteral("FILE")});
  parser.addOption({QStringLiteral("preset"),
                    QStringLiteral("Recall preset LETTER (A-Z) at start-up."),
                    QStringLiteral("LETTER")});
}

Status readLookOptions(const QCommandLineParser& parser, StartOptions& o) {
  if (parser.isSet(QStringLiteral("bank"))) {
    o.bankFile = text(parser.value(QStringLiteral("bank")));
    if (Status bank = checkBank(o.bankFile); !bank) return bank;
  }
  if (parser.isSet(QStringLiteral("preset"))) {
    const QString given = parser.value(QStringLiteral("preset"));
    const QString letter = given.toUpper();
    if (letter.size() != 1 || letter[0] < QLatin1Char('A') || letter[0] > QLatin1Char('Z'))
      return Status::failure("--preset takes one letter A to Z, not '" + text(given) + "'");
    o.presetSlot = letter[0].unicode() - 'A';
  }
  return {};
}

// Where the processed video goes besides the dialog: --record, --record-codec,
// --virtual-camera, --output-screen.
void addOutputOptions(QCommandLineParser& parser) {
  parser.addOption({QStringLiteral("record"),
                    QStringLiteral("Record the processed video into FILE (.mkv, .mp4 or .webm); "
                                   "an existing FILE is never overwritten."),
                    QStringLiteral("FILE")});
  parser.addOption({QStringLiteral("record-codec"),
                    QStringLiteral("Codec of recordings: h264 (.mkv, .mp4), vp8 or vp9 (.webm, "
                                   ".mkv), ffv1 (lossless, .mkv)."),
                    QStringLiteral("h264|vp8|vp9|ffv1")});
  parser.addOption({QStringLiteral("virtual-camera"),
                    QStringLiteral("Offer the processed video as a camera: auto, pipewire or a "
                                   "v4l2loopback device such as /dev/video10."),
                    QStringLiteral("auto|pipewire|DEVICE")});
  parser.addOption(
      {QStringLiteral("output-screen"),
       QStringLiteral("Show the processed video full screen on screen N (0-based) or NAME."),
       QStringLiteral("N|NAME")});
}

Status readOutputOptions(const QCommandLineParser& parser, StartOptions& o) {
  if (parser.isSet(QStringLiteral("record-codec"))) {
    o.recordCodec = text(parser.value(QStringLiteral("record-codec")));
    if (!isKnownCodecName(o.recordCodec))
      return Status::failure("unknown recording codec '" + o.recordCodec +
                             "': use h264, vp8, vp9 or ffv1");
  }
  if (parser.isSet(QStringLiteral("record"))) {
    const std::string given = text(parser.value(QStringLiteral("record")));
    Result<RecordFormat> format = resolveRecordFormat(given, o.recordCodec);
    if (!format) return format.status();
    if (Status target = checkRecordTarget(given, format->path); !target) return target;
    o.record = std::move(format).value();
  }
  if (parser.isSet(QStringLiteral("virtual-camera"))) {
    o.virtualCamera = text(parser.value(QStringLiteral("virtual-camera")));
    if (o.virtualCamera != "auto" && o.virtualCamera != "pipewire" &&
        o.virtualCamera.rfind("/dev/", 0) != 0)
      return Status::failure(
          "--virtual-camera takes auto, pipewire or a /dev/videoN device, not '" + o.virtualCamera +
          "'");
  }
  if (parser.isSet(QStringLiteral("output-screen"))) {
    o.outputScreen = text(parser.value(QStringLiteral("output-screen")));
    if (o.outputScreen.empty())
      return Status::failure("--output-screen needs a screen number or name");
  }
  return {};
}

// What plays instead of the camera: FILE, and --no-loop.
void addClipOptions(QCommandLineParser& parser) {
  parser.addOption(
      {QStringLiteral("no-loop"),
       QStringLiteral("Hold a clip's last frame at its end instead of playing it again.")});
  parser.addPositionalArgument(QStringLiteral("FILE"),
                               QStringLiteral("An MPEG file to play instead of the camera."),
                               QStringLiteral("[FILE]"));
}

Status readClipOptions(const QCommandLineParser& parser, StartOptions& o) {
  const QStringList positional = parser.positionalArguments();
  if (positional.size() > 1) return Status::failure("more than one FILE given");
  if (!positional.isEmpty()) {
    // An empty name is a mistake (an unset variable), not a wish for the camera.
    if (positional.first().isEmpty())
      return Status::failure(
          "the FILE given is empty: name a video file, or give none for the camera");
    o.file = text(positional.first());
  }
  o.loopClips = !parser.isSet(QStringLiteral("no-loop"));
  return {};
}

// The options above that take effect once: given twice, which one was meant is unclear.
Status checkGivenOnce(const QCommandLineParser& parser) {
  const QStringList given = parser.optionNames();
  for (const char* name :
       {"bank", "preset", "record", "record-codec", "virtual-camera", "output-screen", "no-loop"})
    if (given.count(QString::fromLatin1(name)) > 1)
      return Status::failure(std::string("--") + name + " given more than once");
  return {};
}

// Every group of options, in the order --help lists them. A new group adds its line here
// and one in readOptions.
void addOptions(QCommandLineParser& parser) {
  addLookOptions(parser);
  addOutputOptions(parser);
  addClipOptions(parser);
  addControllerOptions(parser);
  addFeedbackOptions(parser);
  addFadeOptions(parser);
  addCameraOptions(parser);
  addTempoOptions(parser);
}

// Every group's values, in the order their mistakes are reported (the first one found ends
// the reading).
Status readOptions(const QCommandLineParser& parser, StartOptions& o) {
  if (Status s = checkGivenOnce(parser); !s) return s;
  if (Status s = readControllerOptions(parser, o.controllers); !s) return s;
  if (Status s = readFeedbackOptions(parser, o.controllers.feedback); !s) return s;
  if (Status s = readFadeOptions(parser, o.fade); !s) return s;
  if (Status s = readCameraOptions(parser, o.cameras); !s) return s;
  if (Status s = readTempoOptions(parser, o.tempo); !s) return s;
  if (Status s = readClipOptions(parser, o); !s) return s;
  if (Status s = readLookOptions(parser, o); !s) return s;
  if (Status s = readOutputOptions(parser, o); !s) return s;
  return {};
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
  parser.addOptions({help, version});
  addOptions(parser);

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
  CommandLine c;
  if (Status read = readOptions(parser, c.options); !read) return usageError(read.message());
  c.run = true;
  return c;
}

}  // namespace vz
