// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/cpu_dispatch.h"

#include <atomic>

namespace vz {

namespace {

std::atomic<bool> portableForced{false};

// Reads the feature word libgcc fills at start-up (including the operating system's
// support for the wider registers): no call, no guard.
bool cpuHasAvx2() {
  return __builtin_cpu_supports("avx2");
}

}  // namespace

bool useAvx2() {
  return cpuHasAvx2() && !portableForced.load(std::memory_order_relaxed);
}

void forcePortableKernels(bool portable) {
  portableForced.store(portable, std::memory_order_relaxed);
}

}  // namespace vz
