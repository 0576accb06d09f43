#include "bank_cost.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "cpu_clock.h"
#include "filter_bank.h"
#include "serrin_fft.h"

namespace {

constexpr int kFrame = 960;
constexpr int kRounds = 20000;

template <typename F>
double NsPerCall(F f) {
  f();  // warm the tables and the caches
  const double t0 = ThreadCpuNs();
  for (int i = 0; i < kRounds; ++i) f();
  return (ThreadCpuNs() - t0) / kRounds;
}

}  // namespace

void PrintBankCost() {
  std::unique_ptr<AnalysisBank> a(new AnalysisBank);
  std::unique_ptr<SynthesisBank> s(new SynthesisBank);
  serrin_analysis_init(a.get());
  serrin_synthesis_init(s.get());
  std::vector<int16_t> in(kFrame), out(kFrame);
  uint32_t seed = 3;
  for (int16_t& v : in) {
    seed = seed * 1664525u + 1013904223u;
    v = static_cast<int16_t>(static_cast<int32_t>(seed >> 16) % 8001 - 4000);
  }
  SerrinComplex spectrum[kFrame];
  SerrinComplex data[kFrame];
  for (int k = 0; k < kFrame; ++k) data[k] = {static_cast<float>(in[k]), static_cast<float>(in[kFrame - 1 - k])};
  const double bank = NsPerCall([&] {
    serrin_analysis(in.data(), spectrum, a.get());
    serrin_synthesis(spectrum, out.data(), s.get());
  });
  const double fft = NsPerCall([&] {
    serrin_rfft1920(data, 1);
    serrin_rfft1920(data, -1);
  });
  const double complex_fft = NsPerCall([&] {
    serrin_fft960(data, 1);
    serrin_fft960(data, -1);
  });
  std::printf("== filter bank cost per 20 ms frame (thread CPU time, mean of %d calls)\n", kRounds);
  std::printf("   analysis + synthesis            %8.0f ns\n", bank);
  std::printf("   real transform 1920, fwd + inv  %8.0f ns\n", fft);
  std::printf("   complex transform 960, fwd + inv %7.0f ns\n\n", complex_fft);
}
