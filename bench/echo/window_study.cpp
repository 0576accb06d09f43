#include "window_study.h"

#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "adaptive_echo_filter.h"
#include "bench_signals.h"
#include "filter_bank.h"
#include "prototype_window.h"

namespace {

constexpr int kFrame = 960;
constexpr int kWindow = kPrototypeWindowLength;

std::vector<int16_t> White(size_t n, uint32_t seed) {
  std::vector<int16_t> x(n);
  for (int16_t& v : x) {
    seed = seed * 1664525u + 1013904223u;
    v = static_cast<int16_t>(static_cast<int32_t>(seed >> 16) % 4001 - 2000);
  }
  return x;
}

// Round trip with unit spectral gain: the best SNR over the whole-frame delays.
double ReconstructionDb(const float* proto) {
  const int frames = 60;
  std::unique_ptr<AnalysisBank> a(new AnalysisBank);
  std::unique_ptr<SynthesisBank> s(new SynthesisBank);
  serrin_analysis_init_window(a.get(), proto);
  serrin_synthesis_init_window(s.get(), proto);
  const std::vector<int16_t> x = White(frames * kFrame, 7);
  std::vector<int16_t> y(x.size());
  SerrinComplex spectrum[kFrame];
  for (int f = 0; f < frames; ++f) {
    serrin_analysis(&x[f * kFrame], spectrum, a.get());
    serrin_synthesis(spectrum, &y[f * kFrame], s.get());
  }
  double best = -1e9;
  for (int lag = 0; lag <= 6 * kFrame; lag += kFrame) {
    double e = 0.0, p = 0.0;
    for (int n = 10 * kFrame; n < (frames - 8) * kFrame; ++n) {
      const double d = y[n + lag] - x[n];
      e += d * d;
      p += static_cast<double>(x[n]) * x[n];
    }
    best = std::fmax(best, 10.0 * std::log10(p / (e + 1e-9)));
  }
  return best;
}

// Echo removed by the filter over the last 100 of 300 frames: far end x, echo y.
double FilterErleDb(const float* proto, const std::vector<int16_t>& x, const std::vector<int16_t>& y) {
  const int frames = static_cast<int>(x.size() / kFrame);
  std::unique_ptr<EchoFilterState> f(new EchoFilterState);
  echo_filter_init(f.get());
  std::unique_ptr<AnalysisBank> ax(new AnalysisBank), ay(new AnalysisBank);
  serrin_analysis_init_window(ax.get(), proto);
  serrin_analysis_init_window(ay.get(), proto);
  std::unique_ptr<EchoPathRecord> path(new EchoPathRecord);
  echo_path_record_init(path.get());
  const float floors[6] = {1, 1, 1, 1, 1, 1};
  SerrinComplex X[kFrame], Y[kFrame];
  double m = 0.0, e = 0.0;
  for (int fr = 0; fr < frames; ++fr) {
    serrin_analysis(&x[fr * kFrame], X, ax.get());
    serrin_analysis(&y[fr * kFrame], Y, ay.get());
    double mic = 0.0, err = 0.0;
    for (int k = 2; k < kEchoFilterBins; ++k) mic += Y[k].re * Y[k].re + Y[k].im * Y[k].im;
    echo_filter_step(0, 0, 1, floors, path.get(), 2, kEchoFilterBins, Y, X, f.get());
    for (int k = 2; k < kEchoFilterBins; ++k) err += Y[k].re * Y[k].re + Y[k].im * Y[k].im;
    if (fr >= frames - 100) {
      m += mic;
      e += err;
    }
  }
  return 10.0 * std::log10(m / (e + 1.0));
}

}  // namespace

void PrintWindowStudy() {
  const int frames = 300;
  // White noise through two taps (500 and 800 samples late), and synthetic speech through
  // the bench's room (delay 40 ms, RT60 0.2 s, echo -6 dB).
  const std::vector<int16_t> noise = White(frames * kFrame, 1);
  std::vector<int16_t> noise_echo(noise.size(), 0);
  for (size_t n = 800; n < noise.size(); ++n) {
    noise_echo[n] = static_cast<int16_t>(noise[n - 500] / 2 + noise[n - 800] / 4);
  }
  const std::vector<float> speech = SyntheticSpeech(frames * kFrame, -20.0f, 120.0f, 1234);
  const std::vector<float> room = Convolve(speech, RoomImpulseResponse(1920, 6000, 0.2f, -6.0f, 42));
  const std::vector<int16_t> speech16 = ToPcm16(speech), room16 = ToPcm16(room);

  const float* w = serrin_prototype_window();
  std::printf("== prototype window: round trip and echo removed by the filter alone\n");
  std::printf("   %-30s %12s %14s %14s\n", "window", "round trip", "filter, noise", "filter, speech");
  std::printf("   %-30s %9.1f dB %11.1f dB %11.1f dB\n", "stored", ReconstructionDb(w),
              FilterErleDb(w, noise, noise_echo), FilterErleDb(w, speech16, room16));
  std::printf("\n");
}
