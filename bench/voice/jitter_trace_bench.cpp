// The jitter buffer on synthesised arrival traces (capture bursts of 10 and 64 ms, a playout
// 8 % slower or faster than the sender, loss, reordering, rare stalls), against the buffer
// it replaced: per trace, each frame's wait from its arrival to the start of its sound
// (median and p95), the pops concealed while playout held (underruns), frames lost, late and
// shed, and the depth and target after the first 10 s. The playout follows the pace the
// buffer asks for (a shortened or lengthened frame changes by 5 ms). Prints, asserts nothing.
//   jitter_trace_bench [seconds per trace, default 120]
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "legacy_jitter_buffer.h"
#include "voice_arrival_traces.h"
#include "voice_jitter_buffer.h"

namespace {

using namespace tessarine::jitter_test;

void PrintLine(const char* which, const PlayoutFigures& f) {
  std::printf(
      "    %-4s wait median %6.1f ms p95 %6.1f | underruns %4lld | lost %3lld late %3lld shed %4lld | "
      "depth %2.0f target %2.0f (medians after 10 s)\n",
      which, Percentile(f.delay_ms, 0.5), Percentile(f.delay_ms, 0.95), static_cast<long long>(f.underruns),
      static_cast<long long>(f.lost), static_cast<long long>(f.late), static_cast<long long>(f.shed),
      Percentile(f.depth, 0.5), Percentile(f.target, 0.5));
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::max(20, std::atoi(argv[1])) : 120;
  const std::vector<ArrivalTrace> traces = {
      CaptureBursts(10, seconds, 1),
      CaptureBursts(64, seconds, 2),
      CaptureBursts(64, seconds, 3, 1.0 / 17),
      WithPlayoutRate(CaptureBursts(10, seconds, 4), 1.08),
      WithPlayoutRate(CaptureBursts(10, seconds, 5), 0.92),
      WithPlayoutRate(CaptureBursts(64, seconds, 6), 1.08),
      WithLoss(CaptureBursts(10, seconds, 7), 0.05, 7),
      WithReordering(CaptureBursts(10, seconds, 8), 0.02, 30, 8),
      WithStalls(CaptureBursts(10, seconds, 9), 20000, 200),
  };
  std::printf(
      "jitter buffer on arrival traces of %d s: old (largest jitter of 10 s plus the floor, whole frames shed) "
      "and new\n",
      seconds);
  for (const ArrivalTrace& trace : traces) {
    std::printf("  %s (%zu packets)\n", trace.name.c_str(), trace.packets.size());
    legacy_jitter::VoiceJitterBuffer old_buffer;
    PrintLine("old", Play(trace, &old_buffer));
    tessarine::VoiceJitterBuffer new_buffer;
    const PlayoutFigures f = Play(trace, &new_buffer);
    PrintLine("new", f);
    std::printf("         new: %lld frames shortened, %lld lengthened; offset above target median %.1f ms\n",
                static_cast<long long>(new_buffer.stats().faster), static_cast<long long>(new_buffer.stats().slower),
                Percentile(f.excess_ms, 0.5));
  }
  return 0;
}
