// Writing and reading the remote-audio packet handed to a playback stream's encoded-data
// sinks (its format: avcore/remote_audio_packet.h). Pure logic (no Win32).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "avcore/remote_audio_packet.h"

namespace tessarine {

using avcore::kRemoteAudioCodecOpus;
using avcore::kRemoteAudioFrameMs;
using avcore::kRemoteAudioHeaderBytes;
using avcore::kRemoteAudioMaxExtension;
using avcore::kRemoteAudioMaxFrames;
using avcore::kRemoteAudioTimestampMask;

// Sample-rate codes 0-3 and channel codes 0-1.
uint8_t RemoteAudioRateCode(int32_t rate);  // 0xFF when the rate has no code
int32_t RemoteAudioRate(uint8_t code);      // 0 when the code is unknown

struct RemoteAudioHeader {
  uint8_t codec = kRemoteAudioCodecOpus;  // 0-15
  uint8_t rate_code = 3;                  // 0-3
  uint8_t channel_code = 0;               // 0-1
  uint32_t timestamp_ms = 0;              // written modulo 2^27
};

// A packet read in place: views into the caller's bytes.
struct RemoteAudioPacketView {
  RemoteAudioHeader header;
  const uint8_t* extension = nullptr;
  size_t extension_bytes = 0;
  size_t frame_count = 0;
  size_t frame_bytes = 0;
  const uint8_t* frames = nullptr;  // frame n at frames + n * frame_bytes

  const uint8_t* frame(size_t n) const { return frames + n * frame_bytes; }
  uint32_t frame_timestamp(size_t n) const {
    return header.timestamp_ms + static_cast<uint32_t>(n) * kRemoteAudioFrameMs;
  }
};

// Writes header, extension and frames. False (nothing written) when there are no frames
// or more than 3, their lengths differ or are 0, the extension is longer than 7 bytes,
// or a code is out of range.
bool WriteRemoteAudioPacket(const RemoteAudioHeader& header, const uint8_t* extension, size_t extension_bytes,
                            const std::vector<std::vector<uint8_t>>& frames, std::vector<uint8_t>* out);

// The packet of one received 20 ms Opus frame: codec 1, 48 kHz, mono, the RTP timestamp
// in milliseconds, and a 2-byte extension holding the RTP sequence number.
bool WriteRemoteAudioFromOpusRtp(uint16_t sequence, uint32_t rtp_timestamp, const uint8_t* opus, size_t bytes,
                                 std::vector<uint8_t>* out);

// Reads a packet. False for 6 bytes or fewer, a frame count of 0, an extension that does
// not fit, or frames of 0 bytes. A remainder after the equal frames is ignored.
bool ReadRemoteAudioPacket(const uint8_t* data, size_t bytes, RemoteAudioPacketView* view);

}  // namespace tessarine
