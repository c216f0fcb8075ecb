// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Child processes for the tests that run the program, its tools or a daemon: each started
// with its output in a log and stopped by its process id when it goes, whatever the outcome.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

extern "C" const char* __tsan_default_suppressions();  // sanitizer_suppressions.cpp

extern char** environ;

namespace vz::test {

// A shell command's standard output and error together.
inline std::string runCommand(const std::string& command) {
  FILE* p = popen(("{ " + command + "; } 2>&1").c_str(), "r");
  std::string out;
  char buf[4096];
  for (size_t n; p != nullptr && (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
  if (p != nullptr) pclose(p);
  return out;
}

using Environment = std::vector<std::pair<std::string, std::string>>;

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
  auto add = [](const char* name, const std::string& more) {
    const char* was = std::getenv(name);
    return std::pair<std::string, std::string>(name, std::string(was ? was : "") + more);
  };
  // GLib has no frame pointers: only the slow unwinder sees where its allocations came from,
  // and a few frames tell a library's load from the program's own doing.
  return {{"QT_QPA_PLATFORM", "offscreen"},
          add("ASAN_OPTIONS",
              checkLeaks ? ":fast_unwind_on_malloc=0:malloc_context_size=8" : ":detect_leaks=0"),
          add("LSAN_OPTIONS", ":suppressions=" + leaks),
          add("TSAN_OPTIONS", ":suppressions=" + suppressions),
          {"G_SLICE", "always-malloc"}};
}

class Child {
 public:
  // argv[0] is looked up on the PATH; env is set in the child only. Everything is prepared
  // before the fork, so the child calls nothing but open, dup2 and exec.
  explicit Child(std::vector<std::string> argv, const std::string& log = "/dev/null",
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
    pid_ = fork();
    if (pid_ == 0) {
      const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (fd >= 0) dup2(fd, 1), dup2(fd, 2);
      execvpe(args[0], args.data(), envp.data());
      _exit(127);
    }
  }
  ~Child() { stop(); }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  bool started() const { return pid_ > 0; }
  // Sends signal and waits; after the grace time, SIGKILL. The wait status (-1: none ran).
  int stop(int signal = SIGTERM, std::chrono::milliseconds grace = std::chrono::seconds(5)) {
    if (pid_ <= 0) return -1;
    kill(pid_, signal);
    int status = -1;
    const auto end = std::chrono::steady_clock::now() + grace;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > end) kill(pid_, SIGKILL);
      usleep(10000);
    }
    pid_ = -1;
    return status;
  }

 private:
  pid_t pid_ = -1;
};

}  // namespace vz::test
