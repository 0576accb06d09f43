#include "remote_audio_packet.h"

namespace tessarine {

using avcore::kRemoteAudioRates;

uint8_t RemoteAudioRateCode(int32_t rate) {
  for (uint8_t code = 0; code < 4; ++code) {
    if (kRemoteAudioRates[code] == rate) return code;
  }
  return 0xFF;
}

int32_t RemoteAudioRate(uint8_t code) { return code < 4 ? kRemoteAudioRates[code] : 0; }

bool WriteRemoteAudioPacket(const RemoteAudioHeader& header, const uint8_t* extension, size_t extension_bytes,
                            const std::vector<std::vector<uint8_t>>& frames, std::vector<uint8_t>* out) {
  if (frames.empty() || frames.size() > kRemoteAudioMaxFrames) return false;
  if (extension_bytes > kRemoteAudioMaxExtension || (extension_bytes > 0 && extension == nullptr)) {
    return false;
  }
  if (header.codec > 15 || header.rate_code > 3 || header.channel_code > 1) return false;
  const size_t frame_bytes = frames.front().size();
  if (frame_bytes == 0) return false;
  for (const auto& f : frames) {
    if (f.size() != frame_bytes) return false;
  }
  out->assign(kRemoteAudioHeaderBytes, 0);
  avcore::RemoteAudioHeaderFields fields;
  fields.codec = header.codec;
  fields.rate_code = header.rate_code;
  fields.channel_code = header.channel_code;
  fields.timestamp_ms = header.timestamp_ms;
  fields.frame_count = static_cast<uint8_t>(frames.size());
  fields.extension_bytes = static_cast<uint8_t>(extension_bytes);
  avcore::EncodeRemoteAudioHeader(fields, out->data());
  out->insert(out->end(), extension, extension + extension_bytes);
  for (const auto& f : frames) out->insert(out->end(), f.begin(), f.end());
  return true;
}

bool WriteRemoteAudioFromOpusRtp(uint16_t sequence, uint32_t rtp_timestamp, const uint8_t* opus, size_t bytes,
                                 std::vector<uint8_t>* out) {
  if (opus == nullptr || bytes == 0) return false;
  RemoteAudioHeader header;
  header.codec = kRemoteAudioCodecOpus;
  header.rate_code = 3;
  header.channel_code = 0;
  header.timestamp_ms = rtp_timestamp / 48;
  const uint8_t extension[2] = {static_cast<uint8_t>(sequence), static_cast<uint8_t>(sequence >> 8)};
  return WriteRemoteAudioPacket(header, extension, sizeof(extension), {std::vector<uint8_t>(opus, opus + bytes)}, out);
}

bool ReadRemoteAudioPacket(const uint8_t* data, size_t bytes, RemoteAudioPacketView* view) {
  if (data == nullptr || bytes <= kRemoteAudioHeaderBytes) return false;
  const avcore::RemoteAudioHeaderFields fields = avcore::DecodeRemoteAudioHeader(data);
  const size_t count = fields.frame_count;
  const size_t extension = fields.extension_bytes;
  if (count == 0 || kRemoteAudioHeaderBytes + extension >= bytes) return false;
  const size_t frame_bytes = (bytes - kRemoteAudioHeaderBytes - extension) / count;
  if (frame_bytes == 0) return false;
  view->header.codec = fields.codec;
  view->header.rate_code = fields.rate_code;
  view->header.channel_code = fields.channel_code;
  view->header.timestamp_ms = fields.timestamp_ms;
  view->extension = data + kRemoteAudioHeaderBytes;
  view->extension_bytes = extension;
  view->frame_count = count;
  view->frame_bytes = frame_bytes;
  view->frames = data + kRemoteAudioHeaderBytes + extension;
  return true;
}

}  // namespace tessarine
