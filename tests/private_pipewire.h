// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "tests/child_process.h"

namespace vz::test {

// A PipeWire of the test's own: a session D-Bus, PipeWire and WirePlumber started in a
// temporary runtime folder, and cameras published into it by child processes. This process
// is pointed at it (XDG_RUNTIME_DIR, DBUS_SESSION_BUS_ADDRESS) while it lives. Every
// process it started is stopped by its id, newest first, when it goes, whatever the outcome.
class PrivatePipeWire {
 public:
  PrivatePipeWire();
  ~PrivatePipeWire();
  PrivatePipeWire(const PrivatePipeWire&) = delete;
  PrivatePipeWire& operator=(const PrivatePipeWire&) = delete;

  // The daemons answer (their sockets exist); why not otherwise.
  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }
  const std::string& runtimeDir() const { return dir_; }

  // Publishes a live moving test pattern (a ball on grey) as a Video/Source node (pipewiresink in
  // provide mode) under nodeName with description; returns the publisher's process id, or -1.
  pid_t addCamera(const std::string& nodeName, const std::string& description, int width,
                  int height, const std::string& format = "YUY2");
  void removeCamera(pid_t pid);
  // Kills PipeWire and WirePlumber by their ids as a crash would (SIGKILL); the session bus
  // and the cameras' publishers stay. restartPipeWire starts both anew in the same folder.
  void killPipeWire();
  bool restartPipeWire();

  // The display names of the Video/Source devices GStreamer's device monitor lists now (asked
  // in a child process, within a deadline).
  static std::vector<std::string> listedCameras();
  // Polls (without a main loop) until the monitor lists a camera named name.
  static bool waitListed(const std::string& name, std::chrono::milliseconds timeout);

 private:
  pid_t spawn(const std::vector<std::string>& argv, const std::string& logName);

  std::string dir_;
  std::string error_;
  std::vector<pid_t> pids_;  // in start order
  pid_t pipewire_ = -1, wireplumber_ = -1;
  ScopedEnv env_;  // this process pointed at the daemons while they live
};

// Runs step; when it fails, runs reset and step once more. PipeWire readers hang on
// connection now and then (about one in nine), so each step that waits for frames gets a
// deadline and one retry.
bool withOneRetry(const std::function<bool()>& step, const std::function<void()>& reset);

}  // namespace vz::test
