// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// OSC messages as they travel, serialised by liblo, and the UDP socket on the loopback
// address that sends them.
#include <arpa/inet.h>
#include <lo/lo.h>
#include <sys/socket.h>
#include <unistd.h>

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

// A UDP socket on the loopback address: bound to a free port, or sending to one.
struct Udp {
  int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in a{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
  explicit Udp(int port = 0) { a.sin_port = htons(static_cast<uint16_t>(port)); }
  ~Udp() { close(fd); }
  Udp(const Udp&) = delete;
  Udp& operator=(const Udp&) = delete;
  int bindFreePort() {
    socklen_t n = sizeof a;
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), n) != 0) return -1;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n);
    return ntohs(a.sin_port);
  }
  void raw(const std::vector<uint8_t>& b) {
    sendto(fd, b.data(), b.size(), 0, reinterpret_cast<sockaddr*>(&a), sizeof a);
  }
  template <class... Args>
  void send(const char* path, const char* types, Args... args) {
    raw(oscPacket(path, types, args...));
  }
};
// A UDP port nobody holds now.
inline int freeUdpPort() {
  return Udp().bindFreePort();
}

}  // namespace vz::test
