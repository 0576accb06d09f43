// A UDP peer (IPv4 or IPv6 address bytes and port) as a hashable key.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <functional>

namespace kiv_server {

struct PeerAddress {
  std::array<uint8_t, 16> ip{};  // IPv4 in the first four bytes
  uint8_t family = 4;            // 4 or 6
  uint16_t port = 0;

  bool operator==(const PeerAddress& o) const { return port == o.port && family == o.family && ip == o.ip; }
  bool operator!=(const PeerAddress& o) const { return !(*this == o); }
};

struct PeerAddressHash {
  size_t operator()(const PeerAddress& a) const {
    uint64_t h = 1469598103934665603ull;
    for (uint8_t b : a.ip) h = (h ^ b) * 1099511628211ull;
    h = (h ^ a.port) * 1099511628211ull;
    return static_cast<size_t>(h ^ a.family);
  }
};

inline PeerAddress Ipv4Peer(uint32_t host_order, uint16_t port) {
  PeerAddress a;
  a.ip[0] = static_cast<uint8_t>(host_order >> 24);
  a.ip[1] = static_cast<uint8_t>(host_order >> 16);
  a.ip[2] = static_cast<uint8_t>(host_order >> 8);
  a.ip[3] = static_cast<uint8_t>(host_order);
  a.port = port;
  return a;
}

}  // namespace kiv_server
