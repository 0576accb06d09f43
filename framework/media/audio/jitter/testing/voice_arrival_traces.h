// Arrival traces of a voice stream (which packet arrives when) and a playout that pops
// a jitter buffer on a clock of its own and follows the pace the buffer asks for, for the
// jitter buffer's tests and its bench. The traces are synthesised from what the capture
// side does: a capture that delivers `capture_ms` at a time makes the sender send the
// 20 ms frames completed by each delivery at once.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "voice_jitter_buffer.h"

namespace tessarine::jitter_test {

struct TracedPacket {
  int64_t frame;  // 0, 1, 2 ... (sent as frame mod 65536)
  int64_t arrival_ms;
};

struct ArrivalTrace {
  std::string name;
  std::vector<TracedPacket> packets;  // by arrival
  double pop_period_ms = 20;          // the playout's clock: 20 ms of sound per pop
  int64_t frames = 0;                 // sent
};

// Frames of `seconds` captured `capture_ms` at a time (with up to 2 ms of scheduling jitter
// per delivery), sent when complete; `double_gap_share` of the deliveries come one capture
// period late, together with the next one.
ArrivalTrace CaptureBursts(int capture_ms, int seconds, uint32_t seed, double double_gap_share = 0);
// The playout takes `ratio` times as long per frame as the sender (1.08: 8 % slow).
ArrivalTrace WithPlayoutRate(ArrivalTrace trace, double ratio);
ArrivalTrace WithLoss(ArrivalTrace trace, double share, uint32_t seed);
// `share` of the packets arrive `delay_ms` later than they would.
ArrivalTrace WithReordering(ArrivalTrace trace, double share, int delay_ms, uint32_t seed);
// Nothing arrives for `stall_ms` every `every_ms` (from `every_ms` on); what was held arrives at once.
ArrivalTrace WithStalls(ArrivalTrace trace, int64_t every_ms, int64_t stall_ms);

struct PlayoutFigures {
  int64_t pops = 0;
  int64_t played = 0;            // packets played
  int64_t underruns = 0;         // pops concealed while playout held (not those that stood in for a lost frame)
  std::vector<double> delay_ms;  // per played packet: from its arrival to the start of its sound
  std::vector<int> depth;        // at each pop after `settle_ms`
  std::vector<int> target;
  std::vector<double> excess_ms;  // offset above target at each pop after `settle_ms` (new buffer only)
  int64_t late = 0, lost = 0, shed = 0;
};

// Samples one frame adds to the playout's queue at a pace (the time scaler's effect,
// taking a period of 5 ms).
inline int PaceSamples(VoicePace pace) {
  return pace == VoicePace::kFaster ? 960 - 240 : pace == VoicePace::kSlower ? 960 + 240 : 960;
}

// The pace of a frame; kNormal for frames of a buffer that sets none.
template <class Frame>
auto PaceOf(const Frame& f, int) -> decltype(f.pace) {
  return f.pace;
}
template <class Frame>
VoicePace PaceOf(const Frame&, long) {
  return VoicePace::kNormal;
}
// The playout offset above the target, or NaN for a buffer that keeps none.
template <class Buffer>
auto ExcessOf(const Buffer& b, int) -> decltype(b.offset_ms(), double()) {
  return b.offset_ms() - static_cast<double>(b.target_ms());
}
template <class Buffer>
double ExcessOf(const Buffer&, long) {
  return NAN;
}

// Plays `trace` through `buffer` (VoiceJitterBuffer, or any with its Put/Pop/stats).
template <class Buffer>
PlayoutFigures Play(const ArrivalTrace& trace, Buffer* buffer, double settle_ms = 10000) {
  PlayoutFigures out;
  std::vector<int64_t> arrived(static_cast<size_t>(trace.frames), -1);
  size_t next = 0;
  int queued = 0;  // samples the playout holds
  const double end_ms = trace.packets.empty() ? 0 : static_cast<double>(trace.packets.back().arrival_ms);
  for (int64_t slot = 0; slot * trace.pop_period_ms < end_ms; ++slot) {
    const double now = slot * trace.pop_period_ms;
    for (; next < trace.packets.size() && trace.packets[next].arrival_ms <= now; ++next) {
      const TracedPacket& p = trace.packets[next];
      const uint8_t payload[1] = {1};
      if (buffer->Put(static_cast<uint16_t>(p.frame), payload, 1, p.arrival_ms)) {
        arrived[static_cast<size_t>(p.frame)] = p.arrival_ms;
      }
    }
    const int64_t held_before = buffer->stats().held;
    while (queued < 960) {
      if (now >= settle_ms) {
        out.depth.push_back(buffer->depth_frames());
        out.target.push_back(buffer->target_frames());
        const double excess = ExcessOf(*buffer, 0);
        if (!std::isnan(excess)) out.excess_ms.push_back(excess);
      }
      auto frame = buffer->Pop();
      using Kind = decltype(frame.kind);
      ++out.pops;
      if (frame.kind == Kind::kPacket) {
        ++out.played;
        const int64_t f = frame.sequence;
        // The unwrapped sequence of the buffer is the frame number for traces under 65536 frames.
        if (f >= 0 && f < trace.frames && arrived[static_cast<size_t>(f)] >= 0) {
          out.delay_ms.push_back(now + queued / 48.0 - static_cast<double>(arrived[static_cast<size_t>(f)]));
        }
      }
      queued += frame.kind == Kind::kSilence ? 960 : PaceSamples(PaceOf(frame, 0));
    }
    queued -= 960;
    out.underruns += buffer->stats().held - held_before;
  }
  out.late = buffer->stats().late;
  out.lost = buffer->stats().lost;
  out.shed = buffer->stats().shed;
  return out;
}

template <class T>
double Percentile(std::vector<T> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return static_cast<double>(v[std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size())))]);
}

}  // namespace tessarine::jitter_test
