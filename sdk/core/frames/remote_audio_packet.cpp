#include "core/frames/remote_audio_packet.h"

namespace kiv_core {

uint32_t RemoteAudioTimestamp(const uint8_t* header) { return avcore::DecodeRemoteAudioHeader(header).timestamp_ms; }

RemoteAudioPacketError ReadRemoteAudioHeader(const uint8_t* data, int32_t length, RemoteAudioHeader* header) {
  if (!data || length <= kRemoteAudioHeaderBytes) return RemoteAudioPacketError::kTooShort;
  const avcore::RemoteAudioHeaderFields fields = avcore::DecodeRemoteAudioHeader(data);
  header->codec = fields.codec;
  header->sampleRate = avcore::kRemoteAudioRates[fields.rate_code];
  header->channels = fields.channel_code ? 2 : 1;
  header->timestampMs = fields.timestamp_ms;
  header->frameCount = fields.frame_count;
  header->extensionBytes = fields.extension_bytes;
  if (header->frameCount == 0) return RemoteAudioPacketError::kNoFrames;
  if (kRemoteAudioHeaderBytes + header->extensionBytes > length) return RemoteAudioPacketError::kExtensionOverrun;
  return RemoteAudioPacketError::kNone;
}

RemoteAudioFrames SplitRemoteAudioFrames(const RemoteAudioHeader& header, int32_t packetLength) {
  RemoteAudioFrames frames;
  frames.first = kRemoteAudioHeaderBytes + header.extensionBytes;
  if (header.frameCount <= 0 || packetLength < frames.first) return frames;
  frames.count = header.frameCount;
  frames.length = (packetLength - frames.first) / header.frameCount;
  return frames;
}

}  // namespace kiv_core
