// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The one way the tests run other processes: a shell command run to its end for its exit
// status and output, or a process (the program, a tool, a daemon) started with its output in
// a log and stopped by its id when it goes, whatever the outcome. Under the sanitizers each
// gets what it needs to run: see programEnvironment and toolEnvironment. Variables of this
// process itself are changed only for a while, through ScopedEnv.
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

extern "C" const char* __tsan_default_suppressions();  // sanitizer_suppressions.cpp

extern char** environ;

namespace vz::test {

using Environment = std::vector<std::pair<std::string, std::string>>;

struct Ran {
  int status = -1;  // the exit status; -1 when it did not exit (a signal) or did not start
  std::string out;  // standard output and error together
};

// A shell command with these variables exported to it.
inline Ran shell(const std::string& command, const Environment& env = {}) {
  std::string exports;
  for (const auto& [name, value] : env) exports += "export " + name + "='" + value + "'; ";
  Ran r;
  FILE* p = popen(("{ " + exports + command + "; } 2>&1").c_str(), "r");
  char buf[4096];
  for (size_t n; p != nullptr && (n = fread(buf, 1, sizeof buf, p)) > 0;) r.out.append(buf, n);
  if (p != nullptr) {
    const int s = pclose(p);
    r.status = WIFEXITED(s) ? WEXITSTATUS(s) : -1;
  }
  return r;
}

// A variable as this process has it, with `more` appended.
inline std::pair<std::string, std::string> extended(const char* name, const std::string& more) {
  const char* was = std::getenv(name);
  return {name, std::string(was ? was : "") + more};
}

// What the program under test needs beside the tests: the offscreen platform and the tests'
// ThreadSanitizer suppressions for uninstrumented GLib and GStreamer, written into dir.
// Its exit-time leak report is off unless checkLeaks; then only what libraries allocate as
// they load (GLib's quark table, outgrown and dropped on purpose) is left out of it, and
// anything else the program leaves at exit fails its exit status.
inline Environment programEnvironment(const std::filesystem::path& dir, bool checkLeaks = false) {
  const std::string suppressions = (dir / "tsan.supp").string();
  std::ofstream(suppressions) << __tsan_default_suppressions();
  const std::string leaks = (dir / "lsan.supp").string();
  std::ofstream(leaks) << "leak:ld-linux\n";
  // GLib has no frame pointers: only the slow unwinder sees where its allocations came from,
  // and a few frames tell a library's load from the program's own doing.
  return {{"QT_QPA_PLATFORM", "offscreen"},
          extended("ASAN_OPTIONS", checkLeaks ? ":fast_unwind_on_malloc=0:malloc_context_size=8"
                                              : ":detect_leaks=0"),
          extended("LSAN_OPTIONS", ":suppressions=" + leaks),
          extended("TSAN_OPTIONS", ":suppressions=" + suppressions),
          {"G_SLICE", "always-malloc"}};
}

// What an uninstrumented tool (gst-launch-1.0, gst-inspect-1.0) needs to load the plugin as
// a sanitized build makes it: the sanitizer's runtime preloaded (VZ_SANITIZER_PRELOAD, set by
// tests/CMakeLists.txt), and no leak check of GStreamer's exit-time caches. Nothing otherwise.
inline Environment toolEnvironment() {
  const std::string preload = VZ_SANITIZER_PRELOAD;
  if (preload.empty()) return {};
  return {{"LD_PRELOAD", preload}, extended("ASAN_OPTIONS", ":detect_leaks=0")};
}

// Sets variables of this process (nullopt: unsets them) and puts back what they were when it
// goes, so a test's daemons and settings do not reach the next test.
class ScopedEnv {
 public:
  using Vars = std::vector<std::pair<std::string, std::optional<std::string>>>;
  explicit ScopedEnv(const Vars& vars = {}) { set(vars); }
  ~ScopedEnv() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) apply(it->first, it->second);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

  void set(const Vars& vars) {
    for (const auto& [name, value] : vars) {
      const char* was = std::getenv(name.c_str());
      saved_.emplace_back(name, was ? std::optional<std::string>(was) : std::nullopt);
      apply(name, value);
    }
  }

 private:
  static void apply(const std::string& name, const std::optional<std::string>& value) {
    value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
  }
  Vars saved_;
};

// Starts argv (argv[0] looked up on the PATH) with its output appended to log, no input, and
// env set in the child only; -1 when it could not. Everything is prepared before the fork, so
// the child calls nothing but open, dup2 and exec.
inline pid_t spawn(std::vector<std::string> argv, const std::string& log = "/dev/null",
                   const Environment& env = {}) {
  std::vector<std::string> vars;
  for (char** v = environ; *v != nullptr; ++v) vars.emplace_back(*v);
  for (const auto& [name, value] : env) {
    std::erase_if(vars, [&](const std::string& v) { return v.rfind(name + "=", 0) == 0; });
    vars.push_back(name + "=" + value);
  }
  std::vector<char*> args, envp;
  for (auto& a : argv) args.push_back(a.data());
  for (auto& v : vars) envp.push_back(v.data());
  args.push_back(nullptr), envp.push_back(nullptr);
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) {
    // A test killed at its time limit cannot stop what it started: the child goes with it,
    // so no private daemon outlives its test.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    const int in = ::open("/dev/null", O_RDONLY);
    const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (in >= 0) dup2(in, 0);
    if (out >= 0) dup2(out, 1), dup2(out, 2);
    execvpe(args[0], args.data(), envp.data());
    _exit(127);
  }
  return pid;
}

// Sends signal to the process and waits for it; after the grace time, SIGKILL. Its wait
// status (-1: none ran).
inline int stopProcess(pid_t pid, int signal = SIGTERM,
                       std::chrono::milliseconds grace = std::chrono::seconds(5)) {
  if (pid <= 0) return -1;
  kill(pid, signal);
  int status = -1;
  const auto end = std::chrono::steady_clock::now() + grace;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > end) kill(pid, SIGKILL);
    usleep(10000);
  }
  return status;
}

// Polls, without an event loop, until done holds (true) or the limit passes (false): for what
// another process or thread brings about.
inline bool waitFor(const std::function<bool()>& done,
                    std::chrono::milliseconds limit = std::chrono::seconds(10)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    usleep(5000);
  }
  return true;
}

// A started process, its log begun anew, that is stopped when it goes.
class Child {
 public:
  explicit Child(std::vector<std::string> argv, const std::string& log = "/dev/null",
                 const Environment& env = {}) {
    if (log != "/dev/null") std::ofstream{log};
    pid_ = spawn(std::move(argv), log, env);
  }
  ~Child() { stop(); }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  bool started() const { return pid_ > 0; }
  int stop(int signal = SIGTERM, std::chrono::milliseconds grace = std::chrono::seconds(5)) {
    const int status = stopProcess(pid_, signal, grace);
    pid_ = -1;
    return status;
  }

 private:
  pid_t pid_ = -1;
};

}  // namespace vz::test
