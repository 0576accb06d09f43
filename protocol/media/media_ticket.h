// Media tickets and the relay's registration datagrams. A ticket (16 random bytes, 32
// hex digits on the control connection) is issued to a login by the control plane; the
// client's transport sends it to the relay in a registration datagram, which binds the
// datagram's source address to that login. Registration datagrams start with "KMR" (never
// RTP or RTCP: their first byte's top bits are 01):
//   'K' 'M' 'R' kind(1) ticket(16)     kind 1 register (client; repeated as keep-alive),
//                                       2 accepted, 3 refused (relay)
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kiv_media {

using Ticket = std::array<uint8_t, 16>;

std::string TicketToHex(const Ticket& ticket);
[[nodiscard]] bool TicketFromHex(const std::string& hex, Ticket* out);

enum class RegistrationKind : uint8_t { kRegister = 1, kAccepted = 2, kRefused = 3 };

struct Registration {
  RegistrationKind kind = RegistrationKind::kRegister;
  Ticket ticket{};
};

constexpr size_t kRegistrationSize = 20;

[[nodiscard]] bool LooksLikeRegistration(const uint8_t* data, size_t size);
[[nodiscard]] bool ParseRegistration(const uint8_t* data, size_t size, Registration* out);
std::vector<uint8_t> WriteRegistration(const Registration& registration);

}  // namespace kiv_media
