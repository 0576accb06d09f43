// Echo bench: prints, per input configuration and canceller, the ERLE over the far-end-only
// stretch, how soon it reaches 20 dB after the far end starts, the recovery after a jump of
// the echo delay, the near end's gain and distortion in double talk, the near end's gain
// and output delay when it talks alone, and the cost per 20 ms frame (for ours also of the
// serrin core alone); then a summary against the targets, our saved state across a
// restart and the prototype window study.
//
// Inputs are made here and are the same on every run: the far end (synthetic speech, or
// espeak-ng speech recorded at run time), the microphone = far end through a room impulse
// response at a chosen delay + noise, near-end talk in the double-talk stretch, and the
// near end alone after it.
//
// Usage: echo_bench [--quick] [--no-espeak] [--bank-only] [--scenario N (0-based: that one only)]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "audio_lib_log.h"
#include "bank_cost.h"
#include "bench_signals.h"
#include "cpu_clock.h"
#include "echo_canceller_under_test.h"
#include "echo_metrics.h"
#include "window_study.h"

namespace {

constexpr int kRate = kBenchRate;
// The clipping loudspeaker: peaks above -14.7 dBFS (1.8 times the far end's RMS) are cut.
constexpr float kClipLevel = 6000.0f;
// The soft-clipping loudspeaker: y = L tanh(x / L), L at the same level.
constexpr float kSoftClipLevel = 6000.0f;
constexpr double kNearAloneS = 6.0;

enum class Clip { kNone, kHard, kTanh };
enum class Room { kReflections, kDiffuse };

// Targets of the summary.
constexpr double kTargetErleDb = 40.0;
constexpr double kTargetDtDb = 3.0;
constexpr double kTargetNearLossDb = 0.5;
constexpr double kTargetCoreCpu = 1.2;  // x webrtc's per-frame cost

struct Scenario {
  std::string name;
  bool espeak;   // far and near end from espeak-ng, else synthetic
  int delay_ms;  // bulk echo delay
  float rt60_s;
  float echo_gain_db;  // energy of the echo path
  float noise_dbfs;
  double far_start_s;  // silence before the far end starts
  Clip clip;           // how the loudspeaker distorts the far end
  int jump_to_ms;      // echo delay after a jump in the far-end-only stretch (0: none)
  Room room = Room::kReflections;
  int tail_ms = 125;    // length of the response after the direct path
  float drr_db = 0.0f;  // direct-to-reverberant ratio of the diffuse room
  bool white = false;   // white noise instead of softly coloured noise
};

struct Timeline {
  size_t far_start;   // first far-end sample
  size_t dt_start;    // near talker starts
  size_t jump;        // echo delay changes (0: never)
  size_t near_alone;  // the far end stops, the near talker goes on alone
  size_t total;
};

struct Inputs {
  std::vector<int16_t> far;
  std::vector<int16_t> mic;
  std::vector<float> near_talk;  // the near talker as the microphone hears it
  double noise_energy_per_sample;
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

Timeline MakeTimeline(const Scenario& s, double far_only_s, double dt_s) {
  Timeline t;
  t.far_start = static_cast<size_t>(s.far_start_s * kRate);
  t.dt_start = t.far_start + static_cast<size_t>(far_only_s * kRate);
  t.near_alone = t.dt_start + static_cast<size_t>(dt_s * kRate);
  t.total = t.near_alone + static_cast<size_t>(kNearAloneS * kRate);
  t.jump = s.jump_to_ms > 0 ? t.far_start + static_cast<size_t>(0.4 * far_only_s * kRate) : 0;
  return t;
}

bool MakeInputs(const Scenario& s, const Timeline& t, Inputs* in, std::string* reason) {
  const size_t far_len = t.near_alone - t.far_start;
  std::vector<float> speech, near;
  if (s.espeak) {
    if (!EspeakSpeech("en-us", kFarText, far_len, -20.0f, &speech, reason)) return false;
    if (!EspeakSpeech("en-gb+f3", kNearText, t.total - t.dt_start, -26.0f, &near, reason)) return false;
  } else {
    speech = SyntheticSpeech(far_len, -20.0f, 120.0f, 1234);
    near = SyntheticSpeech(t.total - t.dt_start, -26.0f, 210.0f, 5678);
  }
  std::vector<float> far(t.total, 0.0f);
  for (size_t i = 0; i < far_len; ++i) far[t.far_start + i] = speech[i];
  // What the loudspeaker plays: the far end, or the far end driven into clipping.
  std::vector<float> played = far;
  if (s.clip == Clip::kHard) {
    for (float& v : played) v = std::fmax(-kClipLevel, std::fmin(kClipLevel, v));
  } else if (s.clip == Clip::kTanh) {
    for (float& v : played) v = kSoftClipLevel * std::tanh(v / kSoftClipLevel);
  }
  const int tail = s.tail_ms * kRate / 1000;
  auto response = [&](int delay_ms) {
    return s.room == Room::kDiffuse
               ? DiffuseRoomResponse(delay_ms * kRate / 1000, tail, s.rt60_s, s.drr_db, s.echo_gain_db, 42)
               : RoomImpulseResponse(delay_ms * kRate / 1000, tail, s.rt60_s, s.echo_gain_db, 42);
  };
  std::vector<float> echo = Convolve(played, response(s.delay_ms));
  if (t.jump > 0) {
    const std::vector<float> rir2 = response(s.jump_to_ms);
    const std::vector<float> echo2 = Convolve(played, rir2);
    for (size_t i = t.jump; i < t.total; ++i) echo[i] = echo2[i];
  }
  const std::vector<float> noise = s.white ? WhiteNoise(t.total, s.noise_dbfs, 99) : Noise(t.total, s.noise_dbfs, 99);
  double noise_energy = 0.0;
  for (float v : noise) noise_energy += static_cast<double>(v) * v;
  in->noise_energy_per_sample = noise_energy / t.total;
  in->near_talk.assign(t.total, 0.0f);
  for (size_t i = t.dt_start; i < t.total; ++i) in->near_talk[i] = near[i - t.dt_start];
  std::vector<float> mic(t.total);
  for (size_t i = 0; i < t.total; ++i) mic[i] = echo[i] + noise[i] + in->near_talk[i];
  in->far = ToPcm16(far);
  in->mic = ToPcm16(mic);
  return true;
}

struct Result {
  std::string name;
  double erle_all;    // from 1 s after the far end starts to double talk
  double erle_late;   // the last 30 % of the far-end-only stretch
  double converge_s;  // far-end onset to a lasting 20 dB (-1: never)
  double recover_s;   // delay jump to a lasting 30 dB (-1: never; 0 without a jump)
  double dt_gain_db;
  double dt_distortion_db;
  double alone_gain_db;   // near end alone: its gain in the output
  double alone_delay_ms;  // and its delay through the canceller
  double ns_per_frame;
  double core_ns_per_frame;  // serrin core alone (0: not ours)
};

// First time from `from` at which every 0.5 s window (0.1 s steps) starting within the
// next 1.5 s has an ERLE of at least `target`, in seconds after `from`; windows whose
// microphone holds little more than noise are skipped. -1 when the stretch ends first.
double TimeToLastingErle(const Inputs& in, const int16_t* out, size_t from, size_t end, int lag, double target) {
  const size_t window = kRate / 2, step = kRate / 10, hold = 3 * kRate / 2;
  auto ok = [&](size_t at) {
    double m = 0.0;
    for (size_t n = at; n < at + window; ++n) m += static_cast<double>(in.mic[n]) * in.mic[n];
    if (m < 100.0 * in.noise_energy_per_sample * window) return true;  // no echo to judge
    return ErleDb(in.mic.data(), out, at, at + window, lag) >= target;
  };
  for (size_t t = from; t + hold + window <= end; t += step) {
    bool lasting = true;
    for (size_t u = t; u <= t + hold && lasting; u += step) lasting = ok(u);
    if (lasting) return static_cast<double>(t - from) / kRate;
  }
  return -1.0;
}

Result Measure(CancellerUnderTest* c, const Inputs& in, const Timeline& t, std::vector<int16_t>* out_keep = nullptr) {
  const size_t frames = in.mic.size() / kBenchFrame;
  std::vector<int16_t> out(in.mic.size(), 0);
  double ns = 0.0;
  for (size_t f = 0; f < frames; ++f) {
    const double t0 = ThreadCpuNs();
    c->ProcessFrame(&in.far[f * kBenchFrame], &in.mic[f * kBenchFrame], &out[f * kBenchFrame]);
    ns += ThreadCpuNs() - t0;
  }
  Result r;
  r.name = c->Name();
  r.ns_per_frame = ns / frames;
  r.core_ns_per_frame = c->CoreFrames() > 0 ? c->CoreNs() / c->CoreFrames() : 0.0;
  const int max_lag = 12000;
  const NearEndFit fit =
      FitNearEnd(out.data(), in.near_talk.data(), t.dt_start + kRate / 2, t.near_alone - max_lag, max_lag);
  // The echo tail has died away one second after the far end stops.
  const NearEndFit alone =
      FitNearEnd(out.data(), in.near_talk.data(), t.near_alone + kRate, in.mic.size() - max_lag, max_lag);
  r.alone_gain_db = alone.gain_db;
  r.alone_delay_ms = 1000.0 * alone.lag / kRate;
  r.dt_gain_db = fit.gain_db;
  r.dt_distortion_db = fit.distortion_db;
  const size_t end = t.dt_start - fit.lag;
  const size_t late = t.dt_start - (t.dt_start - t.far_start) * 3 / 10;
  r.erle_all = ErleDb(in.mic.data(), out.data(), t.far_start + kRate, end, fit.lag);
  r.erle_late = ErleDb(in.mic.data(), out.data(), late, end, fit.lag);
  r.converge_s = TimeToLastingErle(in, out.data(), t.far_start, t.jump > 0 ? t.jump : end, fit.lag, 20.0);
  r.recover_s = t.jump > 0 ? TimeToLastingErle(in, out.data(), t.jump, end, fit.lag, 30.0) : 0.0;
  if (out_keep != nullptr) *out_keep = out;
  return r;
}

std::string Seconds(double s) {
  char b[32];
  if (s < 0.0) return "never";
  std::snprintf(b, sizeof b, "%.1f s", s);
  return b;
}

void NoLog(const char*, va_list) {}

// Our state learnt on the first scenario, saved, and read back by a new canceller: the
// ERLE of the output and of the filter alone over the first second after the silent start.
void SavedStateRun(const Scenario& s, double far_only_s, double dt_s) {
  const Timeline t = MakeTimeline(s, far_only_s, dt_s);
  Inputs in;
  std::string reason;
  if (!MakeInputs(s, t, &in, &reason)) return;
  char dir[] = "/tmp/echo_bench_state_XXXXXX";
  if (mkdtemp(dir) == nullptr) return;
  const std::string d(dir);
  SavedState where{std::wstring(d.begin(), d.end()), "bench microphone", "bench speaker"};
  (void)dt_s;
  std::printf("== saved state across a restart (%s)\n", s.name.c_str());
  std::unique_ptr<CancellerUnderTest> first = MakeSerrinCanceller(true);
  std::vector<int16_t> out;
  Measure(first.get(), in, t, &out);
  // As the audio core does: ask again every 50 frames of far end while a recent delay
  // change holds saving back.
  bool saved = first->Save(where);
  std::vector<int16_t> scratch(kBenchFrame);
  const size_t far_frames = (t.dt_start - t.far_start) / kBenchFrame;
  for (size_t i = 0; !saved && i < 40 * 50; ++i) {
    const size_t f = t.far_start / kBenchFrame + i % far_frames;
    first->ProcessFrame(&in.far[f * kBenchFrame], &in.mic[f * kBenchFrame], scratch.data());
    if (i % 50 == 49) saved = first->Save(where);
  }
  auto first_second = [&](CancellerUnderTest* c, double* filter_db) {
    std::vector<int16_t> o(in.mic.size(), 0);
    double sum = 0.0;
    int counted = 0;
    const size_t frames = in.mic.size() / kBenchFrame;
    for (size_t f = 0; f < frames && f < 50; ++f) {
      c->ProcessFrame(&in.far[f * kBenchFrame], &in.mic[f * kBenchFrame], &o[f * kBenchFrame]);
      if (f >= 25) {
        sum += c->FilterErle();
        ++counted;
      }
    }
    *filter_db = counted > 0 ? sum / counted : 0.0;
    return ErleDb(in.mic.data(), o.data(), kRate / 2, kRate, 0);
  };
  std::unique_ptr<CancellerUnderTest> cold = MakeSerrinCanceller(true);
  std::unique_ptr<CancellerUnderTest> warm = MakeSerrinCanceller(true, &where);
  double cold_filter = 0.0, warm_filter = 0.0;
  const double cold_erle = first_second(cold.get(), &cold_filter);
  const double warm_erle = first_second(warm.get(), &warm_filter);
  std::printf("   saved: %s, restored: %s\n", saved ? "yes" : "no", warm->Restored() ? "yes" : "no");
  std::printf("   %-26s %14s %16s\n", "start", "ERLE 0.5-1 s", "filter alone");
  std::printf("   %-26s %11.1f dB %13.1f dB\n", "cold", cold_erle, cold_filter);
  std::printf("   %-26s %11.1f dB %13.1f dB\n\n", "restored", warm_erle, warm_filter);
  std::remove((d + "/AECParams.bin").c_str());
  rmdir(d.c_str());
}

// One row of the summary against the targets.
struct Verdict {
  std::string scenario;
  Result ours;
  double webrtc_ns = 0.0;
};

const char* Mark(bool ok) { return ok ? "ok" : "MISSED"; }

void PrintSummary(const std::vector<Verdict>& verdicts) {
  std::printf(
      "== ours against the targets: ERLE late >= %.0f dB; near end in double talk loses at most\n"
      "   %.0f dB against the clean near end; near end alone loses < %.1f dB; serrin core per frame\n"
      "   <= %.1f x webrtc's whole row. Our output gain raises this near end (-26 dBFS) towards its\n"
      "   level target, so gains above 0 dB are the gain control's. Output delay: the near end's\n"
      "   lag through our chain (filter bank and, when it sits in the output path, the 8 kHz\n"
      "   chain's delay line).\n",
      kTargetErleDb, kTargetDtDb, kTargetNearLossDb, kTargetCoreCpu);
  std::printf("   %-62s %9s %8s %8s %8s %8s %9s\n", "scenario", "ERLE late", "DT gain", "alone", "delay", "core ns",
              "x webrtc");
  for (const Verdict& v : verdicts) {
    const Result& r = v.ours;
    const double ratio = v.webrtc_ns > 0.0 ? r.core_ns_per_frame / v.webrtc_ns : 0.0;
    std::printf("   %-62.62s %6.1f %-2s %5.1f %-2s %5.2f %-2s %5.0f ms %8.0f %5.2f %-6s\n", v.scenario.c_str(),
                r.erle_late, r.erle_late >= kTargetErleDb ? "" : "!", r.dt_gain_db,
                r.dt_gain_db >= -kTargetDtDb ? "" : "!", r.alone_gain_db,
                -r.alone_gain_db < kTargetNearLossDb ? "" : "!", r.alone_delay_ms, r.core_ns_per_frame, ratio,
                Mark(ratio <= kTargetCoreCpu));
  }
  std::printf("   (! marks a figure that misses its target)\n\n");
}

}  // namespace

int main(int argc, char** argv) {
  bool quick = false;
  bool espeak = true;
  bool bank_only = false;
  int only = -1;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--quick") == 0)
      quick = true;
    else if (std::strcmp(argv[i], "--scenario") == 0 && i + 1 < argc)
      only = std::atoi(argv[++i]);
    else if (std::strcmp(argv[i], "--bank-only") == 0)
      bank_only = true;
    else if (std::strcmp(argv[i], "--no-espeak") == 0)
      espeak = false;
    else {
      std::fprintf(stderr, "usage: %s [--quick] [--no-espeak] [--bank-only] [--scenario N]\n", argv[0]);
      return 2;
    }
  }
  SetAudioLibLogCallback(&NoLog);
  const double far_only_s = quick ? 6.0 : 12.0;
  const double dt_s = quick ? 4.0 : 8.0;

  std::vector<Scenario> scenarios = {
      {"synthetic speech, delay 40 ms, RT60 0.2 s, echo -6 dB, noise -60 dBFS", false, 40, 0.2f, -6.0f, -60.0f, 0.0,
       Clip::kNone, 0},
      {"synthetic speech, delay 120 ms, RT60 0.3 s, echo -3 dB, noise -50 dBFS", false, 120, 0.3f, -3.0f, -50.0f, 0.0,
       Clip::kNone, 0},
      {"synthetic speech, delay 250 ms, RT60 0.3 s, echo -6 dB, noise -55 dBFS", false, 250, 0.3f, -6.0f, -55.0f, 0.0,
       Clip::kNone, 0},
      {"synthetic speech, clipped loudspeaker, delay 60 ms, echo -6 dB, noise -55 dBFS", false, 60, 0.25f, -6.0f,
       -55.0f, 0.0, Clip::kHard, 0},
      {"synthetic speech, far end after 5 s of silence, delay 60 ms, echo -6 dB", false, 60, 0.25f, -6.0f, -55.0f, 5.0,
       Clip::kNone, 0},
      {"synthetic speech, echo delay jumps 40 -> 180 ms, echo -6 dB, noise -55 dBFS", false, 40, 0.25f, -6.0f, -55.0f,
       0.0, Clip::kNone, 180},
  };
  std::string version = EspeakVersion();
  const size_t cut = version.find("  Data");
  if (cut != std::string::npos) version.resize(cut);
  const bool speech = espeak && !version.empty();
  const std::string voice = speech ? "espeak-ng speech" : "synthetic speech";
  if (speech) {
    scenarios.push_back({"espeak-ng speech, delay 60 ms, RT60 0.25 s, echo -6 dB, noise -55 dBFS", true, 60, 0.25f,
                         -6.0f, -55.0f, 0.0, Clip::kNone, 0});
  }
  Scenario diffuse{voice + ", delay 120 ms, diffuse tail 300 ms DRR 0 dB RT60 0.25 s, echo -6 dB, white noise -50 dBFS",
                   speech,
                   120,
                   0.25f,
                   -6.0f,
                   -50.0f,
                   0.0,
                   Clip::kNone,
                   0};
  diffuse.room = Room::kDiffuse;
  diffuse.tail_ms = 300;
  diffuse.drr_db = 0.0f;
  diffuse.white = true;
  scenarios.push_back(diffuse);
  Scenario soft{voice + ", soft-clipping (tanh) loudspeaker, delay 60 ms, echo -6 dB, white noise -50 dBFS",
                speech,
                60,
                0.25f,
                -6.0f,
                -50.0f,
                0.0,
                Clip::kTanh,
                0};
  soft.white = true;
  scenarios.push_back(soft);

  std::printf(
      "Echo bench: 48 kHz mono, 20 ms frames; %.0f s far end only, %.0f s double talk, %.0f s near end alone.\n",
      far_only_s, dt_s, kNearAloneS);
  std::printf("Far end -20 dBFS active, near talker -26 dBFS. espeak: %s\n",
              version.empty() ? "not available" : (espeak ? version.c_str() : "skipped"));
  std::printf(
      "ERLE: mic/out energy over the far-end-only stretch from 1 s after the far end starts\n"
      "(all) and over its last 30 %% (late). 20 dB: far-end onset to an ERLE that holds 20 dB\n"
      "in every 0.5 s window for 1.5 s; 30 dB back: the same for 30 dB after the delay jump.\n");
  std::printf(
      "DT: near talker's gain in the output and everything else relative to it (lower is better).\n"
      "Alone: the near talker's gain and delay in the output once the far end has stopped.\n"
      "ns/frame: the whole canceller; core: the serrin core alone (ours, every step on); thread CPU time.\n\n");

  PrintBankCost();
  if (bank_only) return 0;
  std::vector<Verdict> verdicts;
  for (size_t index = 0; index < scenarios.size(); ++index) {
    const Scenario& s = scenarios[index];
    if (only >= 0 && static_cast<size_t>(only) != index) continue;
    const Timeline t = MakeTimeline(s, far_only_s + (s.jump_to_ms > 0 ? 4.0 : 0.0), dt_s);
    Inputs in;
    std::string reason;
    if (!MakeInputs(s, t, &in, &reason)) {
      std::printf("== %s\n   skipped: %s\n\n", s.name.c_str(), reason.c_str());
      continue;
    }
    std::printf("== %s\n", s.name.c_str());
    std::printf("   %-24s %9s %9s %7s %8s %8s %9s %8s %8s %10s %9s\n", "canceller", "ERLE all", "ERLE late", "20 dB",
                "30 dB bk", "DT gain", "DT dist", "alone", "delay", "ns/frame", "core");
    // Speex's filter covers the echo path.
    const int speex_ms = std::max(256, (s.delay_ms + s.tail_ms + 50 + 63) / 64 * 64);
    // One canceller at a time: the serrin core keeps process-wide settings.
    const std::vector<std::function<std::unique_ptr<CancellerUnderTest>()>> makers = {
        [] { return MakeSerrinCanceller(true); },
        [speex_ms] { return MakeSpeexCanceller(false, speex_ms); },
        [speex_ms] { return MakeSpeexCanceller(true, speex_ms); },
        [&s] { return MakeWebrtcCanceller(s.delay_ms); },
    };
    Verdict v;
    v.scenario = s.name;
    for (size_t i = 0; i < makers.size(); ++i) {
      std::unique_ptr<CancellerUnderTest> c = makers[i]();
      const Result r = Measure(c.get(), in, t);
      char core[32] = "-";
      if (r.core_ns_per_frame > 0.0) std::snprintf(core, sizeof core, "%.0f", r.core_ns_per_frame);
      std::printf("   %-24s %6.1f dB %6.1f dB %7s %8s %5.1f dB %6.1f dB %5.2f dB %5.0f ms %10.0f %9s\n", r.name.c_str(),
                  r.erle_all, r.erle_late, Seconds(r.converge_s).c_str(),
                  t.jump > 0 ? Seconds(r.recover_s).c_str() : "-", r.dt_gain_db, r.dt_distortion_db, r.alone_gain_db,
                  r.alone_delay_ms, r.ns_per_frame, core);
      if (i == 0) v.ours = r;
      if (i + 1 == makers.size()) v.webrtc_ns = r.ns_per_frame;
    }
    verdicts.push_back(v);
    std::printf("\n");
  }
  PrintSummary(verdicts);
  if (only >= 0) return 0;
  SavedStateRun(scenarios[0], far_only_s, dt_s);
  PrintWindowStudy();
  return 0;
}
