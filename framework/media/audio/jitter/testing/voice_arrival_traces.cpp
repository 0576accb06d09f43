#include "voice_arrival_traces.h"

#include <random>

namespace tessarine::jitter_test {
namespace {

void SortByArrival(ArrivalTrace* trace) {
  std::stable_sort(trace->packets.begin(), trace->packets.end(),
                   [](const TracedPacket& a, const TracedPacket& b) { return a.arrival_ms < b.arrival_ms; });
}

}  // namespace

ArrivalTrace CaptureBursts(int capture_ms, int seconds, uint32_t seed, double double_gap_share) {
  ArrivalTrace trace;
  trace.name = std::to_string(capture_ms) + " ms capture";
  if (double_gap_share > 0) trace.name += ", some deliveries late";
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> scheduling(0, 2);
  std::bernoulli_distribution late(double_gap_share);
  const int64_t end_ms = static_cast<int64_t>(seconds) * 1000;
  int64_t captured_ms = 0;  // sound delivered so far
  int64_t frame = 0;
  bool held = false;
  for (int64_t t = capture_ms; t <= end_ms; t += capture_ms) {
    captured_ms += capture_ms;
    if (!held && late(rng)) {
      held = true;  // this delivery comes with the next one
      continue;
    }
    held = false;
    const int64_t at = t + scheduling(rng) + 1;  // plus the transport's millisecond
    for (; (frame + 1) * 20 <= captured_ms; ++frame) trace.packets.push_back({frame, at});
  }
  trace.frames = frame;
  return trace;
}

ArrivalTrace WithPlayoutRate(ArrivalTrace trace, double ratio) {
  trace.pop_period_ms = 20 * ratio;
  trace.name += ratio > 1 ? ", playout " + std::to_string(static_cast<int>(std::lround((ratio - 1) * 100))) + " % slow"
                          : ", playout " + std::to_string(static_cast<int>(std::lround((1 - ratio) * 100))) + " % fast";
  return trace;
}

ArrivalTrace WithLoss(ArrivalTrace trace, double share, uint32_t seed) {
  std::mt19937 rng(seed);
  std::bernoulli_distribution lost(share);
  std::vector<TracedPacket> kept;
  for (const TracedPacket& p : trace.packets) {
    if (!lost(rng)) kept.push_back(p);
  }
  trace.packets = std::move(kept);
  trace.name += ", " + std::to_string(static_cast<int>(std::lround(share * 100))) + " % loss";
  return trace;
}

ArrivalTrace WithReordering(ArrivalTrace trace, double share, int delay_ms, uint32_t seed) {
  std::mt19937 rng(seed);
  std::bernoulli_distribution moved(share);
  for (TracedPacket& p : trace.packets) {
    if (moved(rng)) p.arrival_ms += delay_ms;
  }
  SortByArrival(&trace);
  trace.name += ", " + std::to_string(static_cast<int>(std::lround(share * 100))) + " % reordered by " +
                std::to_string(delay_ms) + " ms";
  return trace;
}

ArrivalTrace WithStalls(ArrivalTrace trace, int64_t every_ms, int64_t stall_ms) {
  for (TracedPacket& p : trace.packets) {
    const int64_t into = p.arrival_ms % every_ms;
    if (p.arrival_ms >= every_ms && into < stall_ms) p.arrival_ms += stall_ms - into;
  }
  SortByArrival(&trace);
  trace.name += ", a " + std::to_string(stall_ms) + " ms stall every " + std::to_string(every_ms / 1000) + " s";
  return trace;
}

}  // namespace tessarine::jitter_test
