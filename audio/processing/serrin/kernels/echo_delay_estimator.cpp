#include "echo_delay_estimator.h"

#include <cmath>
#include <cstring>

namespace {

constexpr float kFast = 0.2f;
constexpr float kSlow = 0.025f;
constexpr float kMinFarEnergy = 20000.0f;
constexpr int kFrame = 960;

// Band-pass sections of the time-domain variant, run at a quarter of the input rate on
// the means of four samples: centre frequencies and Q, chosen to cover the speech range
// in five octave-wide bands.
constexpr int kDecimation = 4;
constexpr double kBandRate = 48000.0 / kDecimation;
constexpr float kBandCentre[kDelayBands] = {300.0f, 600.0f, 1200.0f, 2400.0f, 4000.0f};
constexpr float kBandQ = 1.4f;

struct Biquad {
  float b0, b1, b2, a1, a2;
};

Biquad BandPass(float centre, float q) {
  const double w = 2.0 * 3.14159265358979323846 * centre / kBandRate;
  const double alpha = std::sin(w) / (2.0 * q);
  const double a0 = 1.0 + alpha;
  return {static_cast<float>(alpha / a0), 0.0f, static_cast<float>(-alpha / a0),
          static_cast<float>(-2.0 * std::cos(w) / a0), static_cast<float>((1.0 - alpha) / a0)};
}

const Biquad* Sections() {
  static const Biquad* table = [] {
    static Biquad t[kDelayBands];
    for (int b = 0; b < kDelayBands; ++b) t[b] = BandPass(kBandCentre[b], kBandQ);
    return t;
  }();
  return table;
}

// Spectral variant: bins of the five bands (inclusive).
constexpr int kSpectralBands[kDelayBands][2] = {{9, 23}, {25, 39}, {41, 55}, {57, 71}, {73, 87}};

constexpr float kStatSmoothing = 0.1f;
constexpr int kPeakCandidateAfter = 50;
constexpr int kPeakRenewAfter = 150;
constexpr float kMinimumStart = 1e8f;
constexpr int kMinimumCandidateAfter = 100;
constexpr int kMinimumRenewAfter = 300;
constexpr int kDecayHold = 4;
constexpr float kDecay = 0.8f;
constexpr float kCounterFarEnergy = 1e8f;
constexpr int32_t kMaxConfirmations = 11;
constexpr int32_t kDoubtLimit = 100;

void StatisticsInit(DelayStatistics* st) {
  std::memset(st, 0, sizeof(*st));
  for (int b = 0; b < kDelayBands; ++b) st->minimum[b] = st->minimum_candidate[b] = kMinimumStart;
}

// Smoothed powers at the adopted delay and the near peak with its reference ratio.
void StatisticsAtDelay(const float* near, const float* far_at_delay, DelayStatistics* st) {
  for (int b = 0; b < kDelayBands; ++b) {
    st->near_at_delay[b] = (1.0f - kStatSmoothing) * st->near_at_delay[b] + kStatSmoothing * near[b];
    st->far_at_delay[b] = (1.0f - kStatSmoothing) * st->far_at_delay[b] + kStatSmoothing * far_at_delay[b];
    const float v = st->near_at_delay[b];
    if (v > st->peak[b]) {
      st->peak[b] = v;
      st->peak_ratio[b] = st->far_at_delay[b] / (v + 0.001f);
      st->peak_candidate[b] = 0.0f;
      st->peak_count[b] = 0;
      continue;
    }
    ++st->peak_count[b];
    if (st->peak_count[b] > kPeakCandidateAfter && v > st->peak_candidate[b]) st->peak_candidate[b] = v;
    if (st->peak_count[b] > kPeakRenewAfter) {
      st->peak[b] = st->peak_candidate[b];
      st->peak_ratio[b] = st->far_at_delay[b] / (st->peak[b] + 0.001f);
      st->peak_candidate[b] = 0.0f;
      st->peak_count[b] = kPeakCandidateAfter;
    }
  }
}

// Minimum trackers on 4-frame averages and the decaying peaks, every frame.
void TrackNear(const float* near, DelayStatistics* st) {
  const int slot = st->average_index;
  st->average_index = (slot + 1) % 4;
  for (int b = 0; b < kDelayBands; ++b) {
    st->average_ring[b][slot] = near[b];
    const float* r = st->average_ring[b];
    const float avg = 0.25f * (r[0] + r[1] + r[2] + r[3]);
    st->average[b] = avg;
    if (avg < st->minimum[b]) {
      st->minimum[b] = avg;
      st->minimum_candidate[b] = kMinimumStart;
      st->minimum_count[b] = 0;
    } else {
      ++st->minimum_count[b];
      if (st->minimum_count[b] > kMinimumCandidateAfter && avg < st->minimum_candidate[b]) {
        st->minimum_candidate[b] = avg;
      }
      if (st->minimum_count[b] > kMinimumRenewAfter) {
        st->minimum[b] = st->minimum_candidate[b];
        st->minimum_candidate[b] = kMinimumStart;
        st->minimum_count[b] = kMinimumCandidateAfter;
      }
    }
    if (near[b] > st->decaying_peak[b]) {
      st->decaying_peak[b] = near[b];
      st->decaying_count[b] = 0;
    } else if (++st->decaying_count[b] > kDecayHold) {
      st->decaying_peak[b] *= kDecay;
    }
  }
}

}  // namespace

void delay_correlator_init(DelayCorrelator* c, int lags, float threshold, int max_lag, int adopt_after) {
  std::memset(c, 0, sizeof(*c));
  c->lags = lags > kDelayMaxLags ? kDelayMaxLags : lags;
  c->threshold = threshold;
  c->max_lag = max_lag;
  c->adopt_after = adopt_after;
  StatisticsInit(&c->stats);
}

int delay_correlator_step(const float* reference_bands, const float* mic_bands, float reference_energy,
                          DelayCorrelator* c) {
  const int L = c->lags;
  float corr_sum_at_delay = 0.0f;
  const int at_delay = static_cast<int>(std::lround(c->delay));
  for (int b = 0; b < kDelayBands; ++b) {
    const float m = std::sqrt(mic_bands[b]);
    const float r = std::sqrt(reference_bands[b]);
    c->near_fast[b] = kFast * m + (1.0f - kFast) * c->near_fast[b];
    c->near_slow[b] = kSlow * m + (1.0f - kSlow) * c->near_slow[b];
    c->far_fast[b] = kFast * r + (1.0f - kFast) * c->far_fast[b];
    c->far_slow[b] = kSlow * r + (1.0f - kSlow) * c->far_slow[b];
    const float dm = c->near_fast[b] - c->near_slow[b];
    const float dr = c->far_fast[b] - c->far_slow[b];
    c->var_near[b] = (1.0f - kSlow) * c->var_near[b] + kSlow * dm * dm;
    c->var_far[b] = (1.0f - kSlow) * c->var_far[b] + kSlow * dr * dr;
    c->ring[b][c->index] = dr;
    c->far_ring[b][c->index] = reference_bands[b];
    c->ring_norm[b][c->index] = 1.0f / (std::sqrt(c->var_far[b]) + 0.001f);
    const float mic_norm = 1.0f / (std::sqrt(c->var_near[b]) + 0.001f);
    float best = 0.0f;
    int best_lag = 0;
    for (int k = 0; k < L; ++k) {
      const int e = (k + c->index) % L;
      float& a = c->acc[b][k];
      a = (1.0f - kSlow) * a + kSlow * dm * c->ring[b][e];
      const float v = a * c->ring_norm[b][e] * mic_norm;
      if (v > best) {
        best = v;
        best_lag = k;
      }
      if (k == at_delay) corr_sum_at_delay += v;
    }
    c->best_lag[b] = best_lag;
    c->best_corr[b] = best;
  }
  c->corr_at_delay = 0.2f * corr_sum_at_delay;

  float mean_lag = 0.0f, mean_corr = 0.0f;
  for (int b = 0; b < kDelayBands; ++b) {
    mean_lag += c->best_lag[b];
    mean_corr += c->best_corr[b];
  }
  mean_lag /= kDelayBands;
  mean_corr /= kDelayBands;
  float spread = 0.0f;
  for (int b = 0; b < kDelayBands; ++b) spread = std::fmax(spread, std::fabs(c->best_lag[b] - mean_lag));
  c->consensus = mean_lag;
  c->spread = spread;
  if (mean_corr > c->threshold && spread < 2.0f && mean_lag >= 0.0f && mean_lag < c->max_lag) {
    if (std::fabs(mean_lag - c->previous_consensus) < 2.0f) {
      ++c->agreement;
    } else {
      c->agreement = 0;
    }
    c->previous_consensus = mean_lag;
    if (c->agreement >= c->adopt_after) {
      c->delay = mean_lag;
      c->agreement = 0;
    }
  } else {
    c->agreement = 0;
  }

  c->echo_path =
      (c->corr_at_delay > c->threshold && c->delay >= 0.0f && std::fabs(c->delay - mean_lag) < 2.0f && spread < 2.0f)
          ? 1
          : 0;
  if (reference_energy < kMinFarEnergy) c->echo_path = 0;

  // The reference frame that lies the adopted delay back.
  float far_at_delay[kDelayBands] = {};
  c->far_energy_at_delay = 0.0f;
  if (at_delay >= 0 && at_delay < L) {
    const int slot = (at_delay + c->index) % L;
    for (int b = 0; b < kDelayBands; ++b) {
      far_at_delay[b] = c->far_ring[b][slot];
      c->far_energy_at_delay += far_at_delay[b];
    }
  }
  if (c->echo_path) StatisticsAtDelay(mic_bands, far_at_delay, &c->stats);
  TrackNear(mic_bands, &c->stats);
  c->index = c->index == 0 ? L - 1 : c->index - 1;
  return c->echo_path;
}

void delay_estimator_init(DelayEstimatorState* s) {
  std::memset(s, 0, sizeof(*s));
  delay_correlator_init(&s->corr, 16, 0.9f, 14, 21);
}

int delay_estimate_bands(const SerrinComplex* near_spectrum, const SerrinComplex* far_spectrum, DelayEstimatorState* s,
                         int* echo_path, float* delay) {
  float near[kDelayBands] = {}, far[kDelayBands] = {};
  float far_energy = 0.0f;
  for (int b = 0; b < kDelayBands; ++b) {
    for (int k = kSpectralBands[b][0]; k <= kSpectralBands[b][1]; ++k) {
      near[b] += near_spectrum[k].re * near_spectrum[k].re + near_spectrum[k].im * near_spectrum[k].im;
      far[b] += far_spectrum[k].re * far_spectrum[k].re + far_spectrum[k].im * far_spectrum[k].im;
    }
    far_energy += far[b];
  }
  const int flag = delay_correlator_step(far, near, far_energy, &s->corr);
  delay_echo_path_counters(flag, s);
  if (echo_path != nullptr) *echo_path = flag;
  if (delay != nullptr) *delay = s->corr.delay - 3.0f;
  return flag;
}

void delay_echo_path_counters(int flag, DelayEstimatorState* s) {
  const DelayStatistics& st = s->corr.stats;
  if (s->corr.far_energy_at_delay <= kCounterFarEnergy) return;
  int excess = 0, above_minimum = 0;
  for (int b = 0; b < kDelayBands; ++b) {
    if (st.near_at_delay[b] > 2.0f * st.peak_ratio[b] * st.peak[b]) ++excess;
    if (st.average[b] > 20.0f * st.minimum[b]) ++above_minimum;
  }
  if (excess >= 4) {
    if (s->doubts > kDoubtLimit) s->confirmations = s->doubts = 0;
    return;
  }
  if (flag) {
    if (s->confirmations < kMaxConfirmations) ++s->confirmations;
    s->doubts = 0;
  } else if (above_minimum > 3) {
    s->doubts = 0;
  } else if (++s->doubts > kDoubtLimit) {
    s->confirmations = s->doubts = 0;
  }
}

int serrin_reset_band_state(BandTrackState* s) {
  std::memset(s, 0, sizeof(*s));
  delay_correlator_init(&s->corr, kDelayMaxLags, 0.6f, 75, 1);
  s->sample_rate = 48000;
  return 1;
}

void delay_condition_input(const int16_t* pcm, int rate, float* out) {
  if (rate == 32000) {
    constexpr int kPairs = kFrame / 3;  // 320 pairs of 640 samples
    for (int p = 0; p < kPairs; ++p) {
      const float a = pcm[2 * p], b = pcm[2 * p + 1];
      // The frame's last pair has no next sample: b stands in for it.
      const float next = p + 1 < kPairs ? static_cast<float>(pcm[2 * p + 2]) : b;
      out[3 * p] = a;
      out[3 * p + 1] = 0.67f * b + 0.33f * a;
      out[3 * p + 2] = 0.33f * next + 0.67f * b;
    }
    return;
  }
  if (rate == 16000) {
    for (int i = 0; i < kFrame / 3; ++i) out[3 * i] = out[3 * i + 1] = out[3 * i + 2] = pcm[i];
    return;
  }
  for (int i = 0; i < kFrame; ++i) out[i] = pcm[i];
}

void delay_band_powers(const float* in, int side, BandTrackState* s, float* bands) {
  float x[kFrame / kDecimation];
  for (int i = 0; i < kFrame / kDecimation; ++i) {
    const float* p = in + kDecimation * i;
    x[i] = 0.25f * (p[0] + p[1] + p[2] + p[3]);
  }
  const Biquad* sections = Sections();
  for (int b = 0; b < kDelayBands; ++b) {
    const Biquad& q = sections[b];
    float* m = s->section[side][b];
    float x1 = m[0], x2 = m[1], y1 = m[2], y2 = m[3];
    float sum = 0.0f;
    for (float v : x) {
      const float y = q.b0 * v + q.b1 * x1 + q.b2 * x2 - q.a1 * y1 - q.a2 * y2;
      x2 = x1;
      x1 = v;
      y2 = y1;
      y1 = y;
      sum += y * y;
    }
    m[0] = x1;
    m[1] = x2;
    m[2] = y1;
    m[3] = y2;
    bands[b] = sum;
  }
}

int delay_estimate_pcm(const int16_t* reference, const int16_t* mic, BandTrackState* s) {
  float ref[kFrame], near[kFrame];
  delay_condition_input(reference, s->sample_rate, ref);
  delay_condition_input(mic, s->sample_rate, near);
  float ref_bands[kDelayBands], mic_bands[kDelayBands];
  delay_band_powers(ref, 0, s, ref_bands);
  delay_band_powers(near, 1, s, mic_bands);
  float energy = 0.0f;
  for (int n = 0; n < kFrame; ++n) energy += ref[n] * ref[n];
  const int flag = delay_correlator_step(ref_bands, mic_bands, energy / kFrame, &s->corr);
  s->delay = s->corr.delay;
  return flag;
}
