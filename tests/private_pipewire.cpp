// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/private_pipewire.h"

#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "tests/child_process.h"

namespace vz::test {
namespace {

using namespace std::chrono_literals;

// A daemon's socket appears within a few seconds.
bool appears(const std::string& path) {
  return waitFor([&] { return std::filesystem::exists(path); }, 5s);
}

}  // namespace

PrivatePipeWire::PrivatePipeWire() {
  char tmpl[] = "/tmp/vz-pipewire-XXXXXX";
  if (mkdtemp(tmpl) == nullptr) {
    error_ = "cannot make a runtime folder";
    return;
  }
  dir_ = tmpl;
  chmod(dir_.c_str(), 0700);
  // What decides which PipeWire and session bus a client talks to.
  const std::string bus = "unix:path=" + dir_ + "/bus";
  env_.set({{"XDG_RUNTIME_DIR", dir_},
            {"PIPEWIRE_RUNTIME_DIR", dir_},
            {"DBUS_SESSION_BUS_ADDRESS", bus},
            {"PIPEWIRE_REMOTE", std::nullopt}});

  if (spawn({"dbus-daemon", "--session", "--nofork", "--nopidfile", "--address=" + bus},
            "dbus.log") < 0 ||
      !appears(dir_ + "/bus")) {
    error_ = "the session bus did not start";
    return;
  }
  restartPipeWire();
}

bool PrivatePipeWire::restartPipeWire() {
  pipewire_ = spawn({"pipewire"}, "pipewire.log");
  if (pipewire_ < 0 || !appears(dir_ + "/pipewire-0")) {
    error_ = "PipeWire did not start";
    return false;
  }
  wireplumber_ = spawn({"wireplumber"}, "wireplumber.log");
  if (wireplumber_ < 0) {
    error_ = "WirePlumber did not start";
    return false;
  }
  return true;
}

void PrivatePipeWire::killPipeWire() {
  for (pid_t* pid : {&pipewire_, &wireplumber_}) {
    if (*pid <= 0) continue;
    std::erase(pids_, *pid);
    kill(*pid, SIGKILL);
    waitpid(*pid, nullptr, 0);
    *pid = -1;
  }
  // A killed daemon leaves its socket behind; the new one makes its own.
  std::error_code ec;
  std::filesystem::remove(dir_ + "/pipewire-0", ec);
  std::filesystem::remove(dir_ + "/pipewire-0.lock", ec);
}

PrivatePipeWire::~PrivatePipeWire() {
  for (auto it = pids_.rbegin(); it != pids_.rend(); ++it) stopProcess(*it, SIGTERM, 3s);
  if (!dir_.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
}

pid_t PrivatePipeWire::spawn(const std::vector<std::string>& argv, const std::string& logName) {
  // The children inherit this process's environment, already pointed at the folder.
  const pid_t pid = test::spawn(argv, dir_ + "/" + logName);
  if (pid >= 0) pids_.push_back(pid);
  return pid;
}

pid_t PrivatePipeWire::addCamera(const std::string& nodeName, const std::string& description,
                                 int width, int height, const std::string& format) {
  const std::string caps = "video/x-raw,format=" + format + ",width=" + std::to_string(width) +
                           ",height=" + std::to_string(height) + ",framerate=30/1";
  return spawn({"gst-launch-1.0", "-q", "videotestsrc", "is-live=true", "pattern=ball",
                // A grey ground: black in the picture then means the camera's loss.
                "background-color=0xff808080", "!", caps, "!", "pipewiresink", "mode=provide",
                // Quoted whole, and the description within: gst-launch joins its arguments.
                "stream-properties=\"props,media.class=Video/Source,node.name=" + nodeName +
                    ",node.description=\\\"" + description + "\\\"\""},
               "camera-" + nodeName + ".log");
}

void PrivatePipeWire::removeCamera(pid_t pid) {
  std::erase(pids_, pid);
  stopProcess(pid, SIGTERM, 3s);
}

std::vector<std::string> PrivatePipeWire::listedCameras() {
  // Asked in a process of its own: a second monitor in this one would take the device
  // providers' buses (one per process) from the program's monitor and silence it.
  std::vector<std::string> names;
  const std::string tag = "name  : ";
  std::istringstream out(shell("timeout 10 gst-device-monitor-1.0 Video/Source 2>/dev/null").out);
  for (std::string line; std::getline(out, line);)
    if (const size_t at = line.find(tag); at != std::string::npos)
      names.push_back(line.substr(at + tag.size()));
  return names;
}

bool PrivatePipeWire::waitListed(const std::string& name, std::chrono::milliseconds timeout) {
  return waitFor([&] { return std::ranges::count(listedCameras(), name) > 0; }, timeout);
}

bool withOneRetry(const std::function<bool()>& step, const std::function<void()>& reset) {
  if (step()) return true;
  std::fprintf(stderr, "[ note ] step failed once; retrying after a reset\n");
  reset();
  return step();
}

}  // namespace vz::test
