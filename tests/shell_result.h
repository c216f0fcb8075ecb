// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A shell command's exit status with its standard output and error together.
#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace vz::test {

struct ShellResult {
  int status = -1;  // the exit status; -1 when it did not exit (a signal) or did not start
  std::string out;
};

inline ShellResult shell(const std::string& command) {
  ShellResult r;
  FILE* p = popen(("{ " + command + "; } 2>&1").c_str(), "r");
  char buf[4096];
  for (size_t n; p != nullptr && (n = fread(buf, 1, sizeof buf, p)) > 0;) r.out.append(buf, n);
  if (p != nullptr) {
    const int s = pclose(p);
    r.status = WIFEXITED(s) ? WEXITSTATUS(s) : -1;
  }
  return r;
}

}  // namespace vz::test
