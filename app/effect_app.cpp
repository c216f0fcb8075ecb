#include "app/effect_app.h"

#include <gst/gst.h>

#include <QApplication>
#include <QFile>
#include <QFont>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/controller_bridge.h"
#include "app/controller_menu.h"
#include "app/effect_dialog.h"
#include "app/preview_widget.h"
#include "app/qt_file_dialogs.h"
#include "app/qt_message_boxes.h"
#include "control/controller_options.h"
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
  std::vector<std::string> args(argv + 1, argv + argc);
  ControllerOptions controllerOptions;
  std::string optionError;
  if (!takeControllerOptions(args, controllerOptions, &optionError)) {
    std::fprintf(stderr, "videozarnix: %s\n", optionError.c_str());
    return 2;
  }
  if (args.size() > 1 || (args.size() == 1 && (args[0] == "--help" || args[0] == "-h"))) {
    std::fprintf(stderr,
                 "Usage: videozarnix [--midi auto|none] [--osc-port N] [--osc-bind ADDR] "
                 "[--verbose] [FILE.mpg]\n");
    return args.size() > 1 ? 2 : 0;
  }
  std::string file;
  if (args.size() == 1) {
    file = args[0];
    if (const std::string problem = whyNotPlayable(file); !problem.empty()) {
      std::fprintf(stderr, "videozarnix: %s\n", problem.c_str());
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

  QtMessageBoxes boxes;
  QtFileDialogs files(nullptr);
  MonitorDeviceList devices;
  {
    EffectDialog dialog(
        [&](VideoEngine& engine) {
          return std::make_unique<MediaGraphControl>(engine, boxes, devices);
        },
        boxes, files);
    if (!file.empty()) {
      dialog.engine.fileName = file;
      dialog.startOnFile();
    }
    ControllerBridge controllers(dialog, controllerOptions);
    installControllerContextMenu(*dialog.previewControl, controllers);
    dialog.DoModal();
  }  // the graph is released before the engine goes, and the engine before the toolkit
  return 0;
}

}  // namespace vz
