// The remote-audio packet an audio stream's encoded-data sink receives: a 6-byte header,
// an extension of 0-7 bytes, then 1-3 frames of equal length, 20 ms apart.
// Header: byte 0 bits 0-3 the codec (1 = Opus), bits 6-7 the sample-rate code (8000,
// 16000, 44100, 48000 Hz); byte 1 bit 0 the channel code (0 mono, 1 stereo); the
// little-endian word at byte 2: bits 0-26 the timestamp in ms, 27-28 the frame count,
// 29-31 the extension's length.
#pragma once

#include <cstddef>
#include <cstdint>

namespace avcore {

inline constexpr size_t kRemoteAudioHeaderBytes = 6;
inline constexpr uint8_t kRemoteAudioCodecOpus = 1;
inline constexpr uint32_t kRemoteAudioTimestampMask = (1u << 27) - 1;
inline constexpr int kRemoteAudioFrameMs = 20;
inline constexpr size_t kRemoteAudioMaxFrames = 3;
inline constexpr size_t kRemoteAudioMaxExtension = 7;
// By sample-rate code.
inline constexpr int32_t kRemoteAudioRates[4] = {8000, 16000, 44100, 48000};

// The header's fields as they stand, unchecked.
struct RemoteAudioHeaderFields {
  uint8_t codec = 0;         // 0-15
  uint8_t rate_code = 0;     // 0-3
  uint8_t channel_code = 0;  // 0-1
  uint32_t timestamp_ms = 0;
  uint8_t frame_count = 0;      // 0-3
  uint8_t extension_bytes = 0;  // 0-7
};

// Reads the kRemoteAudioHeaderBytes at `header`.
inline RemoteAudioHeaderFields DecodeRemoteAudioHeader(const uint8_t* header) {
  const uint32_t word = static_cast<uint32_t>(header[2]) | static_cast<uint32_t>(header[3]) << 8 |
                        static_cast<uint32_t>(header[4]) << 16 | static_cast<uint32_t>(header[5]) << 24;
  RemoteAudioHeaderFields f;
  f.codec = header[0] & 0x0F;
  f.rate_code = header[0] >> 6;
  f.channel_code = header[1] & 0x01;
  f.timestamp_ms = word & kRemoteAudioTimestampMask;
  f.frame_count = static_cast<uint8_t>((word >> 27) & 0x03);
  f.extension_bytes = static_cast<uint8_t>(word >> 29);
  return f;
}

// Writes kRemoteAudioHeaderBytes at `header`; each field is cut to its bits.
inline void EncodeRemoteAudioHeader(const RemoteAudioHeaderFields& f, uint8_t* header) {
  const uint32_t word = (f.timestamp_ms & kRemoteAudioTimestampMask) |
                        static_cast<uint32_t>(f.frame_count & 0x03) << 27 |
                        static_cast<uint32_t>(f.extension_bytes & 0x07) << 29;
  header[0] = static_cast<uint8_t>((f.codec & 0x0F) | (f.rate_code & 0x03) << 6);
  header[1] = f.channel_code & 0x01;
  for (int i = 0; i < 4; ++i) header[2 + i] = static_cast<uint8_t>(word >> (8 * i));
}

}  // namespace avcore
