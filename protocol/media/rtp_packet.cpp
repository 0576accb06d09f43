#include "protocol/media/rtp_packet.h"

#include "protocol/media/byte_io.h"

namespace kiv_media {

bool ParseRtp(const uint8_t* data, size_t size, RtpView* out) {
  if (data == nullptr || size < kRtpFixedHeader || size > kMaxDatagram) return false;
  if ((data[0] >> 6) != 2) return false;
  const bool padding = (data[0] & 0x20) != 0;
  const bool extension = (data[0] & 0x10) != 0;
  const size_t csrc_count = data[0] & 0x0F;
  const uint8_t pt = data[1] & 0x7F;
  if (pt >= 72 && pt <= 76) return false;  // would collide with RTCP SR/RR/SDES/BYE/APP
  size_t offset = kRtpFixedHeader + 4 * csrc_count;
  if (offset > size) return false;
  if (extension) {
    if (offset + 4 > size) return false;
    const size_t words = Read16(data + offset + 2);
    offset += 4 + 4 * words;
    if (offset > size) return false;
  }
  size_t end = size;
  if (padding) {
    const size_t pad = data[size - 1];
    if (pad == 0 || pad > end - offset) return false;
    end -= pad;
  }
  out->header.marker = (data[1] & 0x80) != 0;
  out->header.payload_type = pt;
  out->header.sequence = Read16(data + 2);
  out->header.timestamp = Read32(data + 4);
  out->header.ssrc = Read32(data + 8);
  out->payload = data + offset;
  out->payload_size = end - offset;
  return true;
}

void WriteRtp(const RtpHeader& h, const uint8_t* payload, size_t size, std::vector<uint8_t>& out) {
  out.reserve(out.size() + kRtpFixedHeader + size);
  out.push_back(0x80);
  out.push_back(static_cast<uint8_t>((h.marker ? 0x80 : 0) | (h.payload_type & 0x7F)));
  Put16(out, h.sequence);
  Put32(out, h.timestamp);
  Put32(out, h.ssrc);
  if (size > 0) out.insert(out.end(), payload, payload + size);
}

}  // namespace kiv_media
