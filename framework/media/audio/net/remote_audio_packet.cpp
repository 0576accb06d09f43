#include "remote_audio_packet.h"

namespace tessarine {
namespace {

constexpr int32_t kRates[] = {8000, 16000, 44100, 48000};

void PutLe32(uint32_t v, uint8_t* p) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t GetLe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

}  // namespace

uint8_t RemoteAudioRateCode(int32_t rate) {
  for (uint8_t code = 0; code < 4; ++code) {
    if (kRates[code] == rate) return code;
  }
  return 0xFF;
}

int32_t RemoteAudioRate(uint8_t code) { return code < 4 ? kRates[code] : 0; }

bool WriteRemoteAudioPacket(const RemoteAudioHeader& header, const uint8_t* extension,
                            size_t extension_bytes, const std::vector<std::vector<uint8_t>>& frames,
                            std::vector<uint8_t>* out) {
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
  (*out)[0] = static_cast<uint8_t>(header.codec | header.rate_code << 6);
  (*out)[1] = header.channel_code;
  const uint32_t word = (header.timestamp_ms & kRemoteAudioTimestampMask) |
                        static_cast<uint32_t>(frames.size()) << 27 |
                        static_cast<uint32_t>(extension_bytes) << 29;
  PutLe32(word, out->data() + 2);
  out->insert(out->end(), extension, extension + extension_bytes);
  for (const auto& f : frames) out->insert(out->end(), f.begin(), f.end());
  return true;
}

bool WriteRemoteAudioFromOpusRtp(uint16_t sequence, uint32_t rtp_timestamp, const uint8_t* opus,
                                 size_t bytes, std::vector<uint8_t>* out) {
  if (opus == nullptr || bytes == 0) return false;
  RemoteAudioHeader header;
  header.codec = kRemoteAudioCodecOpus;
  header.rate_code = 3;
  header.channel_code = 0;
  header.timestamp_ms = rtp_timestamp / 48;
  const uint8_t extension[2] = {static_cast<uint8_t>(sequence), static_cast<uint8_t>(sequence >> 8)};
  return WriteRemoteAudioPacket(header, extension, sizeof(extension),
                                {std::vector<uint8_t>(opus, opus + bytes)}, out);
}

bool ReadRemoteAudioPacket(const uint8_t* data, size_t bytes, RemoteAudioPacketView* view) {
  if (data == nullptr || bytes <= kRemoteAudioHeaderBytes) return false;
  const uint32_t word = GetLe32(data + 2);
  const size_t count = (word >> 27) & 3;
  const size_t extension = word >> 29;
  if (count == 0 || kRemoteAudioHeaderBytes + extension >= bytes) return false;
  const size_t frame_bytes = (bytes - kRemoteAudioHeaderBytes - extension) / count;
  if (frame_bytes == 0) return false;
  view->header.codec = data[0] & 0x0F;
  view->header.rate_code = data[0] >> 6;
  view->header.channel_code = data[1] & 1;
  view->header.timestamp_ms = word & kRemoteAudioTimestampMask;
  view->extension = data + kRemoteAudioHeaderBytes;
  view->extension_bytes = extension;
  view->frame_count = count;
  view->frame_bytes = frame_bytes;
  view->frames = data + kRemoteAudioHeaderBytes + extension;
  return true;
}

}  // namespace tessarine
