#include "engine/cpu_dispatch.h"

#include <atomic>

namespace vz {

namespace {

std::atomic<bool> portableForced{false};

bool cpuHasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}

}  // namespace

bool useAvx2() {
  return cpuHasAvx2() && !portableForced.load(std::memory_order_relaxed);
}

void forcePortableKernels(bool portable) {
  portableForced.store(portable, std::memory_order_relaxed);
}

}  // namespace vz
