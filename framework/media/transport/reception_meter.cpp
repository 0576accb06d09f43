#include "reception_meter.h"

#include <algorithm>
#include <cstdlib>

namespace tessarine::media {

void ReceptionMeter::OnPacket(uint16_t sequence, uint32_t rtp_timestamp, uint64_t arrival_us, size_t payload_bytes) {
  if (!started_) {
    started_ = true;
    base_sequence_ = sequence;
    max_sequence_ = sequence;
  } else {
    const uint16_t delta = static_cast<uint16_t>(sequence - max_sequence_);
    if (delta != 0 && delta < 0x8000) {
      if (sequence < max_sequence_) cycles_ += 0x10000;  // wrapped
      max_sequence_ = sequence;
    }
  }
  ++received_;
  bytes_ += payload_bytes;
  const int64_t arrival = static_cast<int64_t>(arrival_us * clock_rate_ / 1000000);
  const int64_t transit = arrival - static_cast<int64_t>(rtp_timestamp);
  if (have_transit_) {
    const int64_t d = std::llabs(transit - last_transit_);
    // J += (|D| - J) / 16, kept in 1/16 units.
    const int64_t j = static_cast<int64_t>(jitter_q4_);
    jitter_q4_ = static_cast<uint64_t>(std::max<int64_t>(0, j + d - ((j + 8) >> 4)));
  }
  have_transit_ = true;
  last_transit_ = transit;
}

uint64_t ReceptionMeter::lost() const {
  if (!started_) return 0;
  const uint64_t expected = cycles_ + max_sequence_ - base_sequence_ + 1;
  return expected > received_ ? expected - received_ : 0;
}

kiv_media::ReportBlock ReceptionMeter::TakeReport(uint32_t ssrc) {
  kiv_media::ReportBlock b;
  b.ssrc = ssrc;
  if (!started_) return b;
  const uint64_t expected = cycles_ + max_sequence_ - base_sequence_ + 1;
  const uint64_t expected_interval = expected - expected_prior_;
  const uint64_t received_interval = received_ - received_prior_;
  expected_prior_ = expected;
  received_prior_ = received_;
  const int64_t lost_interval = static_cast<int64_t>(expected_interval) - static_cast<int64_t>(received_interval);
  b.fraction_lost = (expected_interval == 0 || lost_interval <= 0)
                        ? 0
                        : static_cast<uint8_t>(
                              std::min<int64_t>(255, (lost_interval << 8) / static_cast<int64_t>(expected_interval)));
  b.cumulative_lost = static_cast<int32_t>(std::min<uint64_t>(lost(), 0x7FFFFF));
  b.highest_sequence = cycles_ + max_sequence_;
  b.jitter = jitter();
  return b;
}

}  // namespace tessarine::media
