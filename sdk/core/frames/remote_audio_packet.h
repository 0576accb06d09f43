// Reading the remote-audio packet handed out by the framework's encoded-data sink (its
// format: avcore/remote_audio_packet.h).
#pragma once

#include <cstdint>

#include "avcore/remote_audio_packet.h"

namespace kiv_core {

constexpr int32_t kRemoteAudioHeaderBytes = static_cast<int32_t>(avcore::kRemoteAudioHeaderBytes);
using avcore::kRemoteAudioFrameMs;

struct RemoteAudioHeader {
  int codec = 0;             // bits 0-3 of byte 0; 1 = Opus
  int sampleRate = 0;        // from bits 6-7 of byte 0: 8000, 16000, 44100, 48000
  int channels = 0;          // from bit 0 of byte 1: 1 or 2
  uint32_t timestampMs = 0;  // bits 0-26 of the word at byte 2
  int frameCount = 0;        // bits 27-28: 1-3
  int extensionBytes = 0;    // bits 29-31: 0-7
};

enum class RemoteAudioPacketError {
  kNone,
  kTooShort,          // 6 bytes or fewer
  kNoFrames,          // frame count 0
  kExtensionOverrun,  // the extension reaches past the packet
};

// Reads the header of `length` bytes at `data`. Reads nothing past `length`.
[[nodiscard]] RemoteAudioPacketError ReadRemoteAudioHeader(const uint8_t* data, int32_t length,
                                                           RemoteAudioHeader* header);

// The timestamp field of a 6-byte header (the transcoder's output header).
uint32_t RemoteAudioTimestamp(const uint8_t* header);

// The frames of a packet whose header was read: frame n starts at `first` + n * `length`.
struct RemoteAudioFrames {
  int32_t first = 0;
  int32_t length = 0;
  int count = 0;
};
RemoteAudioFrames SplitRemoteAudioFrames(const RemoteAudioHeader& header, int32_t packetLength);

}  // namespace kiv_core
