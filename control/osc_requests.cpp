// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/osc_requests.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cstring>
#include <string_view>

namespace vz {

std::string OscPeer::text() const {
  char host[INET6_ADDRSTRLEN] = "?";
  int port = 0;
  if (address.ss_family == AF_INET) {
    const auto* a = reinterpret_cast<const sockaddr_in*>(&address);
    inet_ntop(AF_INET, &a->sin_addr, host, sizeof host);
    port = ntohs(a->sin_port);
    return std::string(host) + ":" + std::to_string(port);
  }
  if (address.ss_family == AF_INET6) {
    const auto* a = reinterpret_cast<const sockaddr_in6*>(&address);
    inet_ntop(AF_INET6, &a->sin6_addr, host, sizeof host);
    port = ntohs(a->sin6_port);
  }
  return "[" + std::string(host) + "]:" + std::to_string(port);
}

bool OscPeer::operator==(const OscPeer& o) const {
  return length == o.length && std::memcmp(&address, &o.address, length) == 0;
}

std::optional<OscRequestParse> parseOscRequest(const std::string& path, const char* types,
                                               const char* firstString) {
  constexpr std::string_view kPrefix = "/videozarnix/";
  if (path.rfind(kPrefix, 0) != 0) return std::nullopt;
  const std::string_view name = std::string_view(path).substr(kPrefix.size());
  const std::string_view args = types ? types : "";
  using K = OscRequest::Kind;
  auto bare = [&](K kind) -> OscRequestParse {
    if (!args.empty()) return {std::nullopt, path + ": takes no arguments"};
    return {OscRequest{kind, {}}, {}};
  };
  if (name == "subscribe") return bare(K::Subscribe);
  if (name == "unsubscribe") return bare(K::Unsubscribe);
  if (name != "get") return std::nullopt;
  if (args.empty()) return OscRequestParse{OscRequest{K::Get, {}}, {}};
  if (args != "s" || firstString == nullptr)
    return OscRequestParse{std::nullopt, path + ": expects nothing or s ADDRESS"};
  std::string_view asked = firstString;
  if (asked.rfind(kPrefix, 0) == 0) asked.remove_prefix(kPrefix.size());
  return OscRequestParse{OscRequest{K::Get, std::string(asked)}, {}};
}

}  // namespace vz
