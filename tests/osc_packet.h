// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// One OSC message as it travels, serialised by liblo.
#include <lo/lo.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace vz::test {

template <class... Args>
std::vector<uint8_t> oscPacket(const char* path, const char* types, Args... args) {
  lo_message m = lo_message_new();
  lo_message_add(m, types, args...);
  size_t size = 0;
  void* data = lo_message_serialise(m, path, nullptr, &size);
  std::vector<uint8_t> out(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
  std::free(data);
  lo_message_free(m);
  return out;
}

}  // namespace vz::test
