// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/effect_app.h"

#include <gst/gst.h>

#include <QApplication>
#include <QFile>
#include <QFont>
#include <QMenu>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "app/camera_list.h"
#include "app/camera_menu.h"
#include "app/command_line.h"
#include "app/controller_bridge.h"
#include "app/controller_menu.h"
#include "app/effect_dialog.h"
#include "app/fade_control.h"
#include "app/feedback_bridge.h"
#include "app/output_setup.h"
#include "app/preview_menu.h"
#include "app/preview_widget.h"
#include "app/qt_file_dialogs.h"
#include "app/qt_message_boxes.h"
#include "app/qt_text_prompts.h"
#include "app/quit_signals.h"
#include "app/screen_choice.h"
#include "app/start_options.h"
#include "app/tempo_control.h"
#include "app/tempo_ui.h"
#include "base/terminal_safe.h"
#include "control/tempo_feedback.h"
#include "output/camera_target.h"
#include "source/capture_devices.h"
#include "source/media_graph_control.h"
#include "source/media_probe.h"

namespace vz {

namespace {

// A step that may end the program: an exit status, or nothing to go on.
using Exit = std::optional<int>;

bool haveDisplay() {
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  if (platform != nullptr && *platform != '\0') return true;
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x11 != nullptr && *x11 != '\0') || (wayland != nullptr && *wayland != '\0');
}

CommandLine readCommandLine(int argc, char** argv) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  return parseCommandLine(arguments);
}

Exit checkFile(const StartOptions& options) {
  if (options.file.empty()) return std::nullopt;
  // The check a dropped file gets: a file that cannot be played never opens the window.
  if (const Status playable = probePlayable(options.file); !playable) {
    std::fprintf(stderr, "videozarnix: %s\n", terminalSafe(playable.message()).c_str());
    return 2;
  }
  return std::nullopt;
}

// --list-cameras prints and ends the run; --camera KEY must name a camera present now.
Exit checkCameras(const CameraOptions& cameras) {
  if (!cameras.list && cameras.key.empty()) return std::nullopt;
  gst_init(nullptr, nullptr);
  MonitorDeviceList present;
  if (cameras.list) {
    const std::string listing = describeCameras(present);
    if (listing.empty()) std::fprintf(stderr, "videozarnix: no camera found\n");
    std::fputs(listing.c_str(), stdout);
    return 0;
  }
  if (!cameraPresent(present, cameras.key)) {
    std::fprintf(stderr, "videozarnix: no camera has the key %s (--list-cameras prints them)\n",
                 terminalSafe(cameras.key).c_str());
    return 2;
  }
  return std::nullopt;
}

Exit checkVirtualCamera(const StartOptions& options) {
  if (options.virtualCamera.empty()) return std::nullopt;
  const Result<std::string> camera = resolveCameraTarget(options.virtualCamera);
  if (camera) return std::nullopt;
  std::fprintf(stderr, "videozarnix: %s\n", terminalSafe(camera.message()).c_str());
  return 2;
}

Exit checkDisplay() {
  if (haveDisplay()) return std::nullopt;
  std::fprintf(stderr,
               "videozarnix: no display found (DISPLAY is not set); run it on a desktop, or "
               "under xvfb-run\n");
  return 2;
}

// Everything that can fail before the toolkit starts, in the order a user meets it.
Exit checkBeforeToolkit(const StartOptions& options) {
  if (const Exit exit = checkFile(options)) return exit;
  if (const Exit exit = checkCameras(options.cameras)) return exit;
  if (const Exit exit = checkVirtualCamera(options)) return exit;
  return checkDisplay();
}

void nameApplication() {
  QFont::insertSubstitution(QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans"));
  QApplication::setApplicationName(QStringLiteral("Video Zarnix"));
  QApplication::setDesktopFileName(QStringLiteral("videozarnix"));
}

// Screens are known only once the toolkit runs.
Exit checkOutputScreen(const StartOptions& options) {
  if (options.outputScreen.empty()) return std::nullopt;
  const Result<QScreen*> chosen = findScreen(options.outputScreen);
  if (chosen) return std::nullopt;
  std::fprintf(stderr, "videozarnix: --output-screen: %s\n",
               terminalSafe(chosen.message()).c_str());
  return 2;
}

// The dialog with its media graph, outputs and controllers, until the dialog ends. Made in
// this order so that the graph is released before the engine goes, and the engine before
// the toolkit.
void runDialog(const StartOptions& options) {
  QtMessageBoxes boxes;
  QtFileDialogs files(nullptr);
  MonitorDeviceList devices;
  OutputStage outputStage;  // made before the graphs that feed it, gone after them
  MediaGraphControl* media = nullptr;
  EffectDialog dialog(
      [&](VideoEngine& engine) {
        auto graph = std::make_unique<MediaGraphControl>(engine, boxes, devices);
        graph->graph().setFrameSink(&outputStage);
        graph->graph().setCameraRequest(options.cameras.mode);
        graph->graph().setCameraKey(options.cameras.key);
        media = graph.get();
        return graph;
      },
      boxes, files);
  OutputSetup outputs(dialog, outputStage, boxes, files, [&media] {
    const GrabberRate r = media->graph().frameRate();
    return OutputControl::Rate{r.numerator, r.denominator};
  });
  closeOnQuitSignals(&dialog);
  FadeControl fade(dialog.engine, [&media] {
    const GrabberRate r = media->graph().frameRate();
    return r.denominator > 0 ? static_cast<double>(r.numerator) / r.denominator : 0.0;
  });
  media->graph().setLoopClips(options.loopClips);
  outputs.menu->setLoopClips([&media] { return media->graph().loopClips(); },
                             [&media](bool on) { media->graph().setLoopClips(on); });
  if (!options.file.empty()) {
    dialog.engine.fileName = options.file;
    dialog.startOnFile();
  }
  // Before the controllers: their MIDI threads hand it the clock until they stop.
  TempoControl tempo(dialog, options.tempo);
  ControllerBridge controllers(
      dialog, options.controllers,
      [&outputs](bool on, bool mayShowBox) { outputs.control.remoteRecord(on, mayShowBox); },
      midiMappingsPath(), tempo.midiClockSink());
  controllers.setTempoActions([&tempo](const ControllerAction& a) { return tempo.takeAction(a); });
  // Fades counted in beats follow the running tempo.
  fade.setTempo([&tempo]() -> std::optional<double> {
    const TempoState s = tempo.clock().read();
    return s.running && s.bpm > 0 ? std::optional<double>(s.bpm) : std::nullopt;
  });
  addTempoFeedback(controllers.feedback().changes(), tempo.clock());
  tempo.setTapListener([&controllers] { controllers.userTapped(); });
  QtTextPrompts prompts(&dialog);
  installTapKey(dialog, tempo);
  // Goes before the tempo it shows (a child of the preview would outlive it).
  const auto badge = std::make_unique<TempoBadge>(
      dialog.previewControl, tempo, [&dialog] { return dialog.engine.fullScreen != 0; });
  outputs.menu->setExtraItems([&](QMenu& menu) {
    menu.addSeparator();
    addTempoMenu(menu, tempo, prompts);
  });
  controllers.feedback().setRecording([&outputs] { return outputs.control.recording(); });
  outputs.menu->setExtraItems([&](QMenu& menu) {
    menu.addSeparator();
    addCameraItems(menu, devices, media->graph(), dialog);
  });
  outputs.menu->setExtraItems([&fade](QMenu& menu) {
    menu.addSeparator();
    fade.addMenu(menu);
  });
  outputs.menu->setExtraItems([&controllers](QMenu& menu) {
    menu.addSeparator();
    addControllerMenuActions(menu, controllers);
  });
  QTimer::singleShot(0, &dialog, [&] {
    applyStartOptions(dialog, options);
    fade.apply(options.fade);  // after the start preset's recall: that one is the first look
    outputs.applyStartOptions(options);
  });
  dialog.DoModal();
}

}  // namespace

int EffectApp::InitInstance(int argc, char** argv) {
  // A file-size limit (ulimit -f) then fails the write that reaches it, and that recording
  // ends as on a full disk, instead of the signal ending the program.
  std::signal(SIGXFSZ, SIG_IGN);
  const CommandLine command = readCommandLine(argc, argv);
  if (!command.run) {
    std::fprintf(command.exitCode == 0 ? stdout : stderr, "%s\n", command.message.c_str());
    return command.exitCode;
  }
  if (const Exit exit = checkBeforeToolkit(command.options)) return *exit;

  gst_init(nullptr, nullptr);
  QApplication app(argc, argv);
  installQuitSignals();  // before any box: a start-up question must not swallow a signal
  nameApplication();
  if (const Exit exit = checkOutputScreen(command.options)) return *exit;
  runDialog(command.options);
  return 0;
}

}  // namespace vz
