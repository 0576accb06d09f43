// RTP packets (RFC 3550) carrying one Opus packet each (RFC 7587): 48 kHz RTP clock,
// 960 ticks per 20 ms frame. Pure logic (no Win32).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tessarine {

inline constexpr uint8_t kOpusRtpPayloadType = 111;  // dynamic
inline constexpr uint32_t kOpusRtpClockRate = 48000;
inline constexpr uint32_t kOpusRtpTicksPerFrame = 960;
inline constexpr size_t kRtpFixedHeaderBytes = 12;
// An Opus packet is at most 1275 bytes per frame (RFC 6716).
inline constexpr size_t kMaxOpusPayloadBytes = 1275;

struct RtpHeader {
  uint8_t payload_type = kOpusRtpPayloadType;
  bool marker = false;
  uint16_t sequence = 0;
  uint32_t timestamp = 0;
  uint32_t ssrc = 0;
};

struct RtpPacketView {
  RtpHeader header;
  const uint8_t* payload = nullptr;
  size_t payload_bytes = 0;
};

// Fixed header (no CSRC, no extension) and payload.
void WriteRtpPacket(const RtpHeader& header, const uint8_t* payload, size_t payload_bytes, std::vector<uint8_t>* out);

// Reads version 2 packets, skipping CSRCs and a header extension and removing padding.
// False for anything malformed or an empty payload.
bool ReadRtpPacket(const uint8_t* data, size_t bytes, RtpPacketView* view);

// Reads an Opus RTP packet: ReadRtpPacket plus the payload type and an Opus payload of
// 1-1275 bytes.
bool ReadOpusRtpPacket(const uint8_t* data, size_t bytes, RtpPacketView* view);

}  // namespace tessarine
