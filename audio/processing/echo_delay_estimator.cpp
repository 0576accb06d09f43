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

}  // namespace

void delay_correlator_init(DelayCorrelator* c, int lags, float threshold, int max_lag,
                           int adopt_after) {
  std::memset(c, 0, sizeof(*c));
  c->lags = lags > kDelayMaxLags ? kDelayMaxLags : lags;
  c->threshold = threshold;
  c->max_lag = max_lag;
  c->adopt_after = adopt_after;
}

int delay_correlator_step(const float* reference_bands, const float* mic_bands,
                          float reference_energy, DelayCorrelator* c) {
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

  c->echo_path = (c->corr_at_delay > c->threshold && c->delay >= 0.0f &&
                  std::fabs(c->delay - mean_lag) < 2.0f && spread < 2.0f)
                     ? 1
                     : 0;
  if (reference_energy < kMinFarEnergy) c->echo_path = 0;
  c->index = c->index == 0 ? L - 1 : c->index - 1;
  return c->echo_path;
}

void delay_estimator_init(DelayEstimatorState* s) {
  std::memset(s, 0, sizeof(*s));
  delay_correlator_init(&s->corr, 16, 0.9f, 14, 21);
}

int delay_estimate_bands(const SerrinComplex* near_spectrum, const SerrinComplex* far_spectrum,
                         DelayEstimatorState* s, int* echo_path, float* delay) {
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
  if (flag) {
    if (s->confirmations < 11) ++s->confirmations;
    s->doubts = 0;
  } else if (++s->doubts > 100) {
    s->confirmations = 0;
    s->doubts = 0;
  }
  if (echo_path != nullptr) *echo_path = flag;
  if (delay != nullptr) *delay = s->corr.delay - 3.0f;
  return flag;
}

int serrin_reset_band_state(BandTrackState* s) {
  std::memset(s, 0, sizeof(*s));
  delay_correlator_init(&s->corr, kDelayMaxLags, 0.6f, 75, 1);
  s->sample_rate = 48000;
  return 1;
}

void delay_band_powers(const int16_t* pcm, int side, BandTrackState* s, float* bands) {
  float x[kFrame / kDecimation];
  for (int i = 0; i < kFrame / kDecimation; ++i) {
    const int16_t* p = pcm + kDecimation * i;
    x[i] = 0.25f * (static_cast<float>(p[0]) + p[1] + p[2] + p[3]);
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
  float ref_bands[kDelayBands], mic_bands[kDelayBands];
  delay_band_powers(reference, 0, s, ref_bands);
  delay_band_powers(mic, 1, s, mic_bands);
  float energy = 0.0f;
  for (int n = 0; n < kFrame; ++n) energy += static_cast<float>(reference[n]) * reference[n];
  const int flag = delay_correlator_step(ref_bands, mic_bands, energy / kFrame, &s->corr);
  s->delay = s->corr.delay;
  return flag;
}
