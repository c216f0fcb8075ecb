#include "app/effect_app.h"

#include <gst/gst.h>

#include <QApplication>
#include <QFile>
#include <QFont>
#include <QMenu>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/camera_list.h"
#include "app/camera_menu.h"
#include "app/command_line.h"
#include "app/controller_bridge.h"
#include "app/controller_menu.h"
#include "app/effect_dialog.h"
#include "app/output_setup.h"
#include "app/preview_menu.h"
#include "app/qt_file_dialogs.h"
#include "app/qt_message_boxes.h"
#include "app/quit_signals.h"
#include "app/screen_choice.h"
#include "app/start_options.h"
#include "output/camera_target.h"
#include "source/capture_devices.h"
#include "source/media_file_check.h"
#include "source/media_graph_control.h"

namespace vz {

namespace {

bool haveDisplay() {
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  if (platform != nullptr && *platform != '\0') return true;
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x11 != nullptr && *x11 != '\0') || (wayland != nullptr && *wayland != '\0');
}

}  // namespace

int EffectApp::InitInstance(int argc, char** argv) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  const CommandLine command = parseCommandLine(arguments);
  if (!command.run) {
    std::fprintf(command.exitCode == 0 ? stdout : stderr, "%s\n", command.message.c_str());
    return command.exitCode;
  }
  const std::string& file = command.options.file;
  if (!file.empty()) {
    if (const std::string problem = whyNotPlayable(file); !problem.empty()) {
      std::fprintf(stderr, "videozarnix: %s\n", problem.c_str());
      return 2;
    }
  }
  const CameraOptions& cameras = command.options.cameras;
  if (cameras.list || !cameras.key.empty()) {
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
                   cameras.key.c_str());
      return 2;
    }
  }
  if (!command.options.virtualCamera.empty()) {
    const CameraTarget camera = resolveCameraTarget(command.options.virtualCamera);
    if (!camera.ok) {
      std::fprintf(stderr, "videozarnix: %s\n", camera.error.c_str());
      return 2;
    }
  }
  if (!haveDisplay()) {
    std::fprintf(stderr,
                 "videozarnix: no display found (DISPLAY is not set); run it on a desktop, or "
                 "under xvfb-run\n");
    return 2;
  }

  gst_init(nullptr, nullptr);
  QApplication app(argc, argv);
  QFont::insertSubstitution(QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans"));
  QApplication::setApplicationName(QStringLiteral("Video Zarnix"));
  QApplication::setDesktopFileName(QStringLiteral("videozarnix"));

  if (!command.options.outputScreen.empty()) {
    const ScreenChoice chosen = findScreen(command.options.outputScreen);
    if (chosen.screen == nullptr) {
      std::fprintf(stderr, "videozarnix: --output-screen: %s\n", chosen.error.c_str());
      return 2;
    }
  }
  QtMessageBoxes boxes;
  QtFileDialogs files(nullptr);
  MonitorDeviceList devices;
  OutputStage outputStage;  // made before the graphs that feed it, gone after them
  {
    MediaGraphControl* media = nullptr;
    EffectDialog dialog(
        [&](VideoEngine& engine) {
          auto graph = std::make_unique<MediaGraphControl>(engine, boxes, devices);
          graph->graph().setFrameSink(&outputStage);
          graph->graph().setCameraRequest(cameras.mode);
          graph->graph().setCameraKey(cameras.key);
          media = graph.get();
          return graph;
        },
        boxes, files);
    OutputSetup outputs(dialog, outputStage, boxes, files, [&media] {
      const GrabberRate r = media->graph().frameRate();
      return OutputControl::Rate{r.numerator, r.denominator};
    });
    closeOnQuitSignals(&dialog);
    media->graph().setLoopClips(command.options.loopClips);
    outputs.menu->setLoopClips([&media] { return media->graph().loopClips(); },
                               [&media](bool on) { media->graph().setLoopClips(on); });
    if (!file.empty()) {
      dialog.engine.fileName = file;
      dialog.startOnFile();
    }
    ControllerBridge controllers(
        dialog, command.options.controllers,
        [&outputs](bool on, bool mayShowBox) { outputs.control.remoteRecord(on, mayShowBox); });
    outputs.menu->setExtraItems([&](QMenu& menu) {
      menu.addSeparator();
      addCameraItems(menu, devices, media->graph(), dialog);
    });
    outputs.menu->setExtraItems([&controllers](QMenu& menu) {
      menu.addSeparator();
      addControllerMenuActions(menu, controllers);
    });
    QTimer::singleShot(0, &dialog, [&] {
      applyStartOptions(dialog, command.options);
      outputs.applyStartOptions(command.options);
    });
    dialog.DoModal();
  }  // the graph is released before the engine goes, and the engine before the toolkit
  return 0;
}

}  // namespace vz
