// Echo bench: prints, per input configuration and canceller, the ERLE over the far-end-only
// stretch, the near end's gain and distortion in double talk, and the cost per 20 ms frame.
//
// Inputs are made here and are the same on every run: the far end (synthetic speech, or
// espeak-ng speech recorded at run time), the near end = far end through a room impulse
// response at a chosen delay + noise, and near-end talk in the double-talk stretch.
//
// Usage: echo_bench [--quick] [--no-espeak]
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "audio_lib_log.h"
#include "bench_signals.h"
#include "echo_canceller_under_test.h"
#include "echo_metrics.h"

namespace {

constexpr int kRate = kBenchRate;

struct Scenario {
  std::string name;
  bool espeak;        // far and near end from espeak-ng, else synthetic
  int delay_ms;       // bulk echo delay
  float rt60_s;
  float echo_gain_db; // energy of the echo path
  float noise_dbfs;
};

struct Inputs {
  std::vector<int16_t> far;
  std::vector<int16_t> mic;
  std::vector<float> near_talk;  // the near talker as the microphone hears it
};

const char* kFarText =
    "The committee met on Tuesday to review the offer. Both sides agreed that the "
    "delivery dates matter more than the price. We can accept a longer warranty if the "
    "payment terms stay as they are. Please send the revised figures before Friday, and "
    "we will answer within two days. Our team would also like to discuss the training "
    "plan and the support hours for the first year.";
const char* kNearText =
    "I understand your point, but the budget is fixed for this quarter. Could you explain "
    "why the installation takes six weeks? If we sign today, what discount can you give us?";

bool MakeInputs(const Scenario& s, double far_only_s, double total_s, Inputs* in,
                std::string* reason) {
  const size_t total = static_cast<size_t>(total_s * kRate);
  const size_t dt_start = static_cast<size_t>(far_only_s * kRate);
  std::vector<float> far, near;
  if (s.espeak) {
    if (!EspeakSpeech("en-us", kFarText, total, -20.0f, &far, reason)) return false;
    if (!EspeakSpeech("en-gb+f3", kNearText, total - dt_start, -26.0f, &near, reason)) return false;
  } else {
    far = SyntheticSpeech(total, -20.0f, 120.0f, 1234);
    near = SyntheticSpeech(total - dt_start, -26.0f, 210.0f, 5678);
  }
  const std::vector<float> rir =
      RoomImpulseResponse(s.delay_ms * kRate / 1000, 6000, s.rt60_s, s.echo_gain_db, 42);
  const std::vector<float> echo = Convolve(far, rir);
  const std::vector<float> noise = Noise(total, s.noise_dbfs, 99);
  in->near_talk.assign(total, 0.0f);
  for (size_t i = dt_start; i < total; ++i) in->near_talk[i] = near[i - dt_start];
  std::vector<float> mic(total);
  for (size_t i = 0; i < total; ++i) mic[i] = echo[i] + noise[i] + in->near_talk[i];
  in->far = ToPcm16(far);
  in->mic = ToPcm16(mic);
  return true;
}

struct Result {
  std::string name;
  double erle_all;
  double erle_late;
  double dt_gain_db;
  double dt_distortion_db;
  int dt_lag;
  double ns_per_frame;
};

Result Measure(CancellerUnderTest* c, const Inputs& in, double far_only_s) {
  const size_t frames = in.mic.size() / kBenchFrame;
  std::vector<int16_t> out(in.mic.size(), 0);
  double ns = 0.0;
  for (size_t f = 0; f < frames; ++f) {
    const auto t0 = std::chrono::steady_clock::now();
    c->ProcessFrame(&in.far[f * kBenchFrame], &in.mic[f * kBenchFrame], &out[f * kBenchFrame]);
    const auto t1 = std::chrono::steady_clock::now();
    ns += std::chrono::duration<double, std::nano>(t1 - t0).count();
  }
  Result r;
  r.name = c->Name();
  r.ns_per_frame = ns / frames;
  const size_t dt_start = static_cast<size_t>(far_only_s * kRate);
  const int max_lag = 6000;
  const NearEndFit fit = FitNearEnd(out.data(), in.near_talk.data(), dt_start + kRate / 2,
                                    in.mic.size() - max_lag, max_lag);
  r.dt_gain_db = fit.gain_db;
  r.dt_distortion_db = fit.distortion_db;
  r.dt_lag = fit.lag;
  // ERLE from 1 s (after the canceller's silent start), and over the last half of the stretch.
  r.erle_all = ErleDb(in.mic.data(), out.data(), kRate, dt_start - fit.lag, fit.lag);
  r.erle_late = ErleDb(in.mic.data(), out.data(), dt_start / 2, dt_start - fit.lag, fit.lag);
  return r;
}

void NoLog(const char*, va_list) {}

}  // namespace

int main(int argc, char** argv) {
  bool quick = false;
  bool espeak = true;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--quick") == 0) quick = true;
    else if (std::strcmp(argv[i], "--no-espeak") == 0) espeak = false;
    else {
      std::fprintf(stderr, "usage: %s [--quick] [--no-espeak]\n", argv[0]);
      return 2;
    }
  }
  SetAudioLibLogCallback(&NoLog);
  const double far_only_s = quick ? 6.0 : 12.0;
  const double total_s = quick ? 10.0 : 20.0;

  std::vector<Scenario> scenarios = {
      {"synthetic speech, delay 40 ms, RT60 0.2 s, echo -6 dB, noise -60 dBFS", false, 40, 0.2f, -6.0f, -60.0f},
      {"synthetic speech, delay 120 ms, RT60 0.3 s, echo -3 dB, noise -50 dBFS", false, 120, 0.3f, -3.0f, -50.0f},
  };
  std::string version = EspeakVersion();
  const size_t cut = version.find("  Data");
  if (cut != std::string::npos) version.resize(cut);
  if (espeak && !version.empty()) {
    scenarios.push_back({"espeak-ng speech, delay 60 ms, RT60 0.25 s, echo -6 dB, noise -55 dBFS", true, 60, 0.25f, -6.0f, -55.0f});
  }

  std::printf("Echo bench: 48 kHz mono, 20 ms frames; %.0f s far end only, then %.0f s double talk.\n",
              far_only_s, total_s - far_only_s);
  std::printf("Far end -20 dBFS active, near talker -26 dBFS. espeak: %s\n",
              version.empty() ? "not available" : (espeak ? version.c_str() : "skipped"));
  std::printf("ERLE: mic/out energy over the far-end-only stretch from 1 s (all) and its second half (late).\n");
  std::printf("DT: near talker's gain in the output and everything else relative to it (lower is better).\n\n");

  for (const Scenario& s : scenarios) {
    Inputs in;
    std::string reason;
    if (!MakeInputs(s, far_only_s, total_s, &in, &reason)) {
      std::printf("== %s\n   skipped: %s\n\n", s.name.c_str(), reason.c_str());
      continue;
    }
    std::printf("== %s\n", s.name.c_str());
    std::printf("   %-26s %9s %9s %9s %10s %7s %12s\n", "canceller", "ERLE all", "ERLE late",
                "DT gain", "DT distort", "lag", "ns/frame");
    // One canceller at a time: the serrin core keeps process-wide settings.
    const std::vector<std::function<std::unique_ptr<CancellerUnderTest>()>> makers = {
        [] { return MakeSerrinCanceller(true); },
        [] { return MakeSerrinCanceller(false); },
        [] { return MakeSpeexCanceller(false, 256); },
        [] { return MakeSpeexCanceller(true, 256); },
        [&s] { return MakeWebrtcCanceller(s.delay_ms); },
    };
    for (const auto& make : makers) {
      std::unique_ptr<CancellerUnderTest> c = make();
      const Result r = Measure(c.get(), in, far_only_s);
      std::printf("   %-26s %7.1f dB %7.1f dB %6.1f dB %7.1f dB %7d %12.0f\n", r.name.c_str(),
                  r.erle_all, r.erle_late, r.dt_gain_db, r.dt_distortion_db, r.dt_lag,
                  r.ns_per_frame);
    }
    std::printf("\n");
  }
  return 0;
}
