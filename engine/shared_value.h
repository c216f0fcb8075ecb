// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>

namespace vz {

// The GUI thread and the streaming thread share plain ints and bytes (the presets copy
// them as runs). Every access to such a field goes through these two, so that each is one
// whole relaxed load or store: no lock, no waiting, and no data race.
template <class T>
inline T loadRelaxed(const T& field) noexcept {
  return std::atomic_ref<T>(const_cast<T&>(field)).load(std::memory_order_relaxed);
}

template <class T, class V>
inline void storeRelaxed(T& field, V value) noexcept {
  std::atomic_ref<T>(field).store(static_cast<T>(value), std::memory_order_relaxed);
}

}  // namespace vz
