// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>
#include <csignal>
#include <iostream>
#include <string_view>

#include "engine/video_engine.h"
#include "tools/fx_options.h"
#include "tools/fx_stream.h"
#include "vz_version.h"

int main(int argc, char** argv) {
  std::signal(SIGPIPE, SIG_IGN);  // a closed pipe shows as a failed write, with a message
  std::ios::sync_with_stdio(false);
  // Wherever it stands, --version answers alone (nothing else is checked or applied).
  if (std::any_of(argv + 1, argv + argc,
                  [](const char* a) { return std::string_view(a) == "--version"; })) {
    std::cout << "videozarnix-fx " << VZ_VERSION << '\n'
              << "Neither Qt nor GStreamer: the effect engine alone.\n";
    return 0;
  }
  static vz::VideoEngine engine;  // large: kept off the stack
  vz::FxRun run;
  try {
    run = vz::applyFxOptions(std::vector<std::string>(argv + 1, argv + argc), engine);
  } catch (const vz::FxUsageError& e) {
    std::cerr << "videozarnix-fx: " << e.what() << '\n';
    return 2;
  }
  if (run.help) {
    std::cout << vz::fxUsage();
    return 0;
  }
  if (run.dumpSettings) std::cerr << vz::dumpSettings(engine);
  return vz::filterFrames(run, engine, std::cin, std::cout, std::cerr);
}
