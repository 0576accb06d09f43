// RTP packets (RFC 3550): the fixed header, CSRCs, one header extension and padding.
// ParseRtp is strict: version 2, lengths consistent with the datagram, padding within
// the payload; it fails rather than guess. Datagrams above kMaxDatagram are refused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kiv_media {

// Largest UDP datagram of the media plane (an MTU-sized RTP packet with headroom).
constexpr size_t kMaxDatagram = 1500;
constexpr size_t kRtpFixedHeader = 12;

struct RtpHeader {
  bool marker = false;
  uint8_t payload_type = 0;  // 0-127
  uint16_t sequence = 0;
  uint32_t timestamp = 0;
  uint32_t ssrc = 0;
};

struct RtpView {
  RtpHeader header;
  const uint8_t* payload = nullptr;  // into the parsed datagram
  size_t payload_size = 0;
};

// True when the datagram's first byte says RTP or RTCP version 2 (top bits 10).
[[nodiscard]] inline bool LooksLikeRtpOrRtcp(const uint8_t* data, size_t size) {
  return size > 0 && (data[0] & 0xC0) == 0x80;
}
// RTCP packet types occupy 192-223 in the second byte (RFC 5761 demultiplexing).
[[nodiscard]] inline bool LooksLikeRtcp(const uint8_t* data, size_t size) {
  return LooksLikeRtpOrRtcp(data, size) && size >= 2 && data[1] >= 192 && data[1] <= 223;
}

[[nodiscard]] bool ParseRtp(const uint8_t* data, size_t size, RtpView* out);

// Appends a packet without CSRCs, extension or padding.
void WriteRtp(const RtpHeader& header, const uint8_t* payload, size_t size, std::vector<uint8_t>& out);

}  // namespace kiv_media
