#include "rtp_opus_packet.h"

namespace tessarine {
namespace {

uint16_t GetBe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

uint32_t GetBe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 |
         p[3];
}

void PutBe32(uint32_t v, uint8_t* p) {
  p[0] = static_cast<uint8_t>(v >> 24);
  p[1] = static_cast<uint8_t>(v >> 16);
  p[2] = static_cast<uint8_t>(v >> 8);
  p[3] = static_cast<uint8_t>(v);
}

}  // namespace

void WriteRtpPacket(const RtpHeader& header, const uint8_t* payload, size_t payload_bytes, std::vector<uint8_t>* out) {
  out->assign(kRtpFixedHeaderBytes, 0);
  uint8_t* p = out->data();
  p[0] = 0x80;  // version 2
  p[1] = static_cast<uint8_t>((header.marker ? 0x80 : 0) | (header.payload_type & 0x7F));
  p[2] = static_cast<uint8_t>(header.sequence >> 8);
  p[3] = static_cast<uint8_t>(header.sequence);
  PutBe32(header.timestamp, p + 4);
  PutBe32(header.ssrc, p + 8);
  if (payload_bytes > 0) out->insert(out->end(), payload, payload + payload_bytes);
}

bool ReadRtpPacket(const uint8_t* data, size_t bytes, RtpPacketView* view) {
  if (data == nullptr || bytes < kRtpFixedHeaderBytes) return false;
  if ((data[0] >> 6) != 2) return false;
  size_t offset = kRtpFixedHeaderBytes + 4u * (data[0] & 0x0F);
  if (offset > bytes) return false;
  if (data[0] & 0x10) {  // header extension: 4-byte head, then length words
    if (offset + 4 > bytes) return false;
    offset += 4 + 4u * GetBe16(data + offset + 2);
    if (offset > bytes) return false;
  }
  size_t end = bytes;
  if (data[0] & 0x20) {  // padding: the last byte counts it, itself included
    const size_t padding = data[bytes - 1];
    if (padding == 0 || padding > end - offset) return false;
    end -= padding;
  }
  if (end <= offset) return false;
  view->header.marker = (data[1] & 0x80) != 0;
  view->header.payload_type = data[1] & 0x7F;
  view->header.sequence = GetBe16(data + 2);
  view->header.timestamp = GetBe32(data + 4);
  view->header.ssrc = GetBe32(data + 8);
  view->payload = data + offset;
  view->payload_bytes = end - offset;
  return true;
}

bool ReadOpusRtpPacket(const uint8_t* data, size_t bytes, RtpPacketView* view) {
  RtpPacketView v;
  if (!ReadRtpPacket(data, bytes, &v)) return false;
  if (v.header.payload_type != kOpusRtpPayloadType || v.payload_bytes > kMaxOpusPayloadBytes) {
    return false;
  }
  *view = v;
  return true;
}

}  // namespace tessarine
