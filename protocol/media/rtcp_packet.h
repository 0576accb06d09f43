// RTCP (RFC 3550) compound packets: sender and receiver reports with their report
// blocks, and payload-specific feedback picture loss indications (RFC 4585). Other
// packet types (SDES, BYE, APP, ...) are checked for framing and skipped. A compound
// packet is accepted only if every packet in it is well framed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kiv_media {

constexpr uint8_t kRtcpSenderReport = 200;
constexpr uint8_t kRtcpReceiverReport = 201;
constexpr uint8_t kRtcpPayloadFeedback = 206;
constexpr uint8_t kPliFormat = 1;
constexpr size_t kMaxReportBlocks = 31;

struct ReportBlock {
  uint32_t ssrc = 0;  // the source reported on
  uint8_t fraction_lost = 0;
  int32_t cumulative_lost = 0;  // 24-bit signed
  uint32_t highest_sequence = 0;
  uint32_t jitter = 0;
  uint32_t last_sr = 0;
  uint32_t delay_since_last_sr = 0;
};

struct RtcpReport {
  uint32_t sender_ssrc = 0;
  bool is_sender_report = false;
  std::vector<ReportBlock> blocks;
};

struct RtcpPli {
  uint32_t sender_ssrc = 0;
  uint32_t media_ssrc = 0;
};

struct RtcpCompound {
  std::vector<RtcpReport> reports;
  std::vector<RtcpPli> plis;
};

[[nodiscard]] bool ParseRtcp(const uint8_t* data, size_t size, RtcpCompound* out);

// Append one packet each; at most kMaxReportBlocks blocks (more are left out).
void WriteReceiverReport(uint32_t sender_ssrc, const std::vector<ReportBlock>& blocks, std::vector<uint8_t>& out);
void WritePli(uint32_t sender_ssrc, uint32_t media_ssrc, std::vector<uint8_t>& out);

}  // namespace kiv_media
