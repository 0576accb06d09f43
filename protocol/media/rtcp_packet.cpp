#include "protocol/media/rtcp_packet.h"

#include <algorithm>

#include "protocol/media/byte_io.h"
#include "protocol/media/rtp_packet.h"

namespace kiv_media {
namespace {

constexpr size_t kReportBlockSize = 24;
constexpr size_t kSenderInfoSize = 20;

ReportBlock ReadBlock(const uint8_t* p) {
  ReportBlock b;
  b.ssrc = Read32(p);
  b.fraction_lost = p[4];
  uint32_t lost = Read24(p + 5);
  if (lost & 0x800000) lost |= 0xFF000000u;  // sign-extend
  b.cumulative_lost = static_cast<int32_t>(lost);
  b.highest_sequence = Read32(p + 8);
  b.jitter = Read32(p + 12);
  b.last_sr = Read32(p + 16);
  b.delay_since_last_sr = Read32(p + 20);
  return b;
}

// body: the packet after its 4-byte header, without padding.
bool ParseReport(uint8_t type, uint8_t count, const uint8_t* body, size_t size, RtcpReport* out) {
  const size_t fixed = 4 + (type == kRtcpSenderReport ? kSenderInfoSize : 0);
  if (size < fixed + count * kReportBlockSize) return false;
  out->sender_ssrc = Read32(body);
  out->is_sender_report = type == kRtcpSenderReport;
  for (size_t i = 0; i < count; ++i) out->blocks.push_back(ReadBlock(body + fixed + i * kReportBlockSize));
  return true;
}

}  // namespace

bool ParseRtcp(const uint8_t* data, size_t size, RtcpCompound* out) {
  if (data == nullptr || size < 4 || size > kMaxDatagram) return false;
  RtcpCompound result;
  size_t offset = 0;
  while (offset < size) {
    if (size - offset < 4) return false;
    const uint8_t* p = data + offset;
    if ((p[0] >> 6) != 2) return false;
    const bool padding = (p[0] & 0x20) != 0;
    const uint8_t count = p[0] & 0x1F;
    const uint8_t type = p[1];
    if (type < 192 || type > 223) return false;
    const size_t length = (static_cast<size_t>(Read16(p + 2)) + 1) * 4;
    if (length > size - offset) return false;
    size_t body_size = length - 4;
    if (padding) {
      const size_t pad = p[length - 1];
      if (pad == 0 || pad > body_size) return false;
      body_size -= pad;
    }
    const uint8_t* body = p + 4;
    if (type == kRtcpSenderReport || type == kRtcpReceiverReport) {
      RtcpReport report;
      if (!ParseReport(type, count, body, body_size, &report)) return false;
      result.reports.push_back(std::move(report));
    } else if (type == kRtcpPayloadFeedback) {
      if (body_size < 8) return false;
      if (count == kPliFormat) result.plis.push_back(RtcpPli{Read32(body), Read32(body + 4)});
    }
    offset += length;
  }
  *out = std::move(result);
  return true;
}

void WriteReceiverReport(uint32_t sender_ssrc, const std::vector<ReportBlock>& blocks, std::vector<uint8_t>& out) {
  const size_t n = std::min(blocks.size(), kMaxReportBlocks);
  out.push_back(static_cast<uint8_t>(0x80 | n));
  out.push_back(kRtcpReceiverReport);
  Put16(out, static_cast<uint16_t>(1 + n * 6));
  Put32(out, sender_ssrc);
  for (size_t i = 0; i < n; ++i) {
    const ReportBlock& b = blocks[i];
    Put32(out, b.ssrc);
    out.push_back(b.fraction_lost);
    const int32_t lost = std::clamp<int32_t>(b.cumulative_lost, -0x800000, 0x7FFFFF);
    Put24(out, static_cast<uint32_t>(lost) & 0xFFFFFF);
    Put32(out, b.highest_sequence);
    Put32(out, b.jitter);
    Put32(out, b.last_sr);
    Put32(out, b.delay_since_last_sr);
  }
}

void WritePli(uint32_t sender_ssrc, uint32_t media_ssrc, std::vector<uint8_t>& out) {
  out.push_back(0x80 | kPliFormat);
  out.push_back(kRtcpPayloadFeedback);
  Put16(out, 2);
  Put32(out, sender_ssrc);
  Put32(out, media_ssrc);
}

}  // namespace kiv_media
