// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/frame_times.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace vz {
namespace {

thread_local int64_t callbackStart = 0;

int64_t nowMicroseconds() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

const bool kFrameTimesOn = std::getenv("VZ_FRAME_TIMES") != nullptr;

void markFrameCallbackStartNow() {
  callbackStart = nowMicroseconds();
}

int64_t frameCallbackStart() {
  return callbackStart;
}

void reportFramePainted(int64_t start, const char* window) {
  static std::FILE* out = [] {
    std::FILE* f = std::fopen(std::getenv("VZ_FRAME_TIMES"), "w");
    if (f == nullptr) std::perror("videozarnix: VZ_FRAME_TIMES");
    return f;
  }();
  if (out == nullptr || start == 0) return;
  const int64_t now = nowMicroseconds();
  std::fprintf(out, "%lld %lld %s\n", static_cast<long long>(now),
               static_cast<long long>(now - start), window);
  std::fflush(out);
}

}  // namespace vz
