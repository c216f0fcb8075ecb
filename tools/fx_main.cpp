#include <csignal>
#include <iostream>

#include "engine/video_engine.h"
#include "tools/fx_options.h"
#include "tools/fx_stream.h"

int main(int argc, char** argv) {
  std::signal(SIGPIPE, SIG_IGN);  // a closed pipe shows as a failed write, with a message
  std::ios::sync_with_stdio(false);
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
