// What a receiver measures of one RTP source (RFC 3550 appendix A.1, A.3, A.8): packets,
// losses from the extended highest sequence number, interarrival jitter, and the report
// block of a receiver report (fraction lost since the previous one).
#pragma once

#include <cstdint>

#include "protocol/media/rtcp_packet.h"

namespace tessarine::media {

class ReceptionMeter {
 public:
  explicit ReceptionMeter(uint32_t clock_rate) : clock_rate_(clock_rate) {}

  void OnPacket(uint16_t sequence, uint32_t rtp_timestamp, uint64_t arrival_us, size_t payload_bytes);
  // A new source (SSRC) starts counting afresh.
  void Reset() { *this = ReceptionMeter(clock_rate_); }

  [[nodiscard]] uint64_t packets() const { return received_; }
  [[nodiscard]] uint64_t bytes() const { return bytes_; }
  [[nodiscard]] uint64_t lost() const;
  [[nodiscard]] uint32_t jitter() const { return static_cast<uint32_t>(jitter_q4_ >> 4); }
  [[nodiscard]] bool started() const { return started_; }
  // The report block about `ssrc`; starts the next fraction-lost interval.
  kiv_media::ReportBlock TakeReport(uint32_t ssrc);

 private:
  uint32_t clock_rate_;
  bool started_ = false;
  uint32_t base_sequence_ = 0;
  uint32_t cycles_ = 0;
  uint16_t max_sequence_ = 0;
  uint64_t received_ = 0;
  uint64_t bytes_ = 0;
  uint64_t expected_prior_ = 0;
  uint64_t received_prior_ = 0;
  bool have_transit_ = false;
  int64_t last_transit_ = 0;
  uint64_t jitter_q4_ = 0;  // jitter in timestamp units, times 16
};

}  // namespace tessarine::media
