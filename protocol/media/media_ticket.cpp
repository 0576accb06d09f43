#include "protocol/media/media_ticket.h"

#include <cstring>

namespace kiv_media {
namespace {

constexpr uint8_t kMagic[3] = {'K', 'M', 'R'};

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string TicketToHex(const Ticket& ticket) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (uint8_t b : ticket) {
    hex.push_back(kDigits[b >> 4]);
    hex.push_back(kDigits[b & 15]);
  }
  return hex;
}

bool TicketFromHex(const std::string& hex, Ticket* out) {
  if (hex.size() != 2 * out->size()) return false;
  Ticket t{};
  for (size_t i = 0; i < t.size(); ++i) {
    const int hi = HexDigit(hex[2 * i]);
    const int lo = HexDigit(hex[2 * i + 1]);
    if (hi < 0 || lo < 0) return false;
    t[i] = static_cast<uint8_t>(hi * 16 + lo);
  }
  *out = t;
  return true;
}

bool LooksLikeRegistration(const uint8_t* data, size_t size) {
  return data != nullptr && size >= 3 && std::memcmp(data, kMagic, 3) == 0;
}

bool ParseRegistration(const uint8_t* data, size_t size, Registration* out) {
  if (size != kRegistrationSize || !LooksLikeRegistration(data, size)) return false;
  const uint8_t kind = data[3];
  if (kind < 1 || kind > 3) return false;
  out->kind = static_cast<RegistrationKind>(kind);
  std::memcpy(out->ticket.data(), data + 4, out->ticket.size());
  return true;
}

std::vector<uint8_t> WriteRegistration(const Registration& r) {
  std::vector<uint8_t> out(kMagic, kMagic + 3);
  out.push_back(static_cast<uint8_t>(r.kind));
  out.insert(out.end(), r.ticket.begin(), r.ticket.end());
  return out;
}

}  // namespace kiv_media
