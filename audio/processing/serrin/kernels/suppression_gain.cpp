#include "suppression_gain.h"

#include <cmath>
#include <cstring>

#include "echo_mode.h"
#include "serrin_config.h"

namespace {

constexpr int kBandEdges[6] = {12, 24, 60, 140, 280, 959};
constexpr int kActivityTop = 780;
constexpr float kNoiseScale = 0.000030517578f;  // 2^-15
constexpr int kCurveGroupEdges[kGainCurveRows + 1] = {2, 20, 80, 160, 320, 880};

const GainCurveRow kNormalCurve[kGainCurveRows] = {{81.0f, 0.0080247f, 0},
                                                   {81.0f, 0.0080247f, 16},
                                                   {41.0f, 0.0158537f, 32},
                                                   {41.0f, 0.0158537f, 64},
                                                   {41.0f, 0.0158537f, 64}};
const GainCurveRow kGentleCurve[kGainCurveRows] = {{21.0f, 0.0238095f, 0},
                                                   {21.0f, 0.0238095f, 16},
                                                   {21.0f, 0.0238095f, 32},
                                                   {21.0f, 0.0238095f, 64},
                                                   {21.0f, 0.0238095f, 64}};
constexpr float kNormalFloor = 0.35f;
constexpr float kGentleFloor = 0.5f;
constexpr float kCeilings[5] = {0.0f, 0.41f, 0.51f, 0.64f, 0.8f};

int BandTop(int b) { return kBandEdges[b] < kActivityTop ? kBandEdges[b] : kActivityTop; }

// Centred moving count of active bins (from the prefix count `before`, before[i] = active
// bins below i): clears bins in [first, last] with fewer than `need` active bins within
// +-half.
void ClearSparse(const int* before, int first, int last, int half, int need, float* out) {
  for (int k = first; k <= last; ++k) {
    const int lo = k - half < 0 ? 0 : k - half;
    const int hi = k + half >= kSpectralBins ? kSpectralBins - 1 : k + half;
    if (before[hi + 1] - before[lo] < need) out[k] = 0.0f;
  }
}

}  // namespace

int16_t comfort_noise_next(int16_t* seed) {
  *seed = static_cast<int16_t>(static_cast<uint16_t>(static_cast<int32_t>(*seed) * 31321 + 15467));
  return *seed;
}

const GainCurveRow* gain_curve(bool gentle) { return gentle ? kGentleCurve : kNormalCurve; }

void suppressor_init(SuppressorState* s) {
  std::memset(s, 0, sizeof(*s));
  s->release = kRatioRelease;
  s->comfort_noise = 1;
  s->frame_constant = 0.01f;
  s->strength = 1.0f;
  for (int k = 0; k < kSpectralBins; ++k) s->window[k] = 1.0f;
}

void echo_activity_init(EchoActivity* a) { std::memset(a, 0, sizeof(*a)); }

void echo_peak_follow(const float* echo_power, float* peaks, float* gated, int mode, const float* band_thresholds,
                      const float* band_factors, const float* weights, EchoActivity* a) {
  float sum = 0.0f;
  int k = 2;
  for (int b = 0; b < 6; ++b) {
    const int top = BandTop(b);
    for (; k <= top && k < kActivityTop; ++k) {
      const float d = echo_power[k];
      peaks[k] = peaks[k] < d ? d : 0.7f * peaks[k];
      float w = 0.0f;
      if (peaks[k] > band_thresholds[b]) {
        w = mode == kEchoModeEchoOnly ? 8.0f * peaks[k]
                                      : (mode == kEchoModeNoFarEnd ? 0.0f : band_factors[b] * peaks[k]);
      }
      gated[k] = w;
      sum += weights[k] * peaks[k];
    }
  }
  a->mean_echo = sum * 2.0f / 960.0f;
}

void echo_activity_update(const float* residual_power, const float* thresholds, const float* gains, int mode,
                          float* output, EchoActivity* a) {
  const SerrinConfig* config = serrin_config();
  float total = 0.0f, q = 0.0f;
  float band_sum[6] = {};
  int before[kSpectralBins + 1];
  std::memset(output, 0, sizeof(float) * kSpectralBins);
  int k = 2;
  for (int b = 0; b < 6; ++b) {
    const int top = BandTop(b);
    for (; k <= top && k < kActivityTop; ++k) {
      const float r = residual_power[k];
      const float v = (r < thresholds[k] ? 0.0f : r) * gains[k];
      output[k] = v;
      total += v;
      if (r >= 8.0f * thresholds[k] && v > 40.0f) band_sum[b] += r;
      q += r * gains[k];
    }
  }
  float high = band_sum[4] + band_sum[5];
  if (high <= a->high_band) high = 0.75f * high + 0.25f * a->high_band;
  a->high_band = high;
  float margin = band_sum[1] - high * config->high_band_factor;
  if (margin < 0.0f) margin = 0.0f;

  before[0] = 0;
  for (int i = 0; i < kSpectralBins; ++i) before[i + 1] = before[i] + (output[i] > 0.0f ? 1 : 0);
  ClearSparse(before, 24, 159, 8, 12, output);
  ClearSparse(before, 160, 319, 16, 16, output);
  ClearSparse(before, 320, 479, 33, 33, output);

  a->energy_low = total > 4668.0f ? 1 : 0;
  a->energy_high = total > 8558.0f ? 1 : 0;
  const float threshold = config->echo_threshold;
  int trigger = mode == kEchoModeNoFarEnd ? (margin > threshold) : (margin > 3.0f * threshold);
  a->trigger = trigger;
  if (mode != kEchoModeEchoOnly) a->frame_level = std::sqrt(q * 2.1701392e-6f);
  if (mode == kEchoModeEchoOnly) {
    a->energy_low = a->energy_high = 0;
    trigger = 0;
  }
  if (a->energy_low && trigger) {
    if (a->count < 10) ++a->count;
  } else if (a->count > 0) {
    --a->count;
  }
  if (a->count > 2) {
    a->hold = 50;
  } else if (a->hold > 0) {
    --a->hold;
  }
  a->echo_active = (a->energy_low && a->hold > 0) ? 1 : 0;
  if (a->energy_low) {
    a->quiet_frames = 0;
  } else if (++a->quiet_frames > 25) {
    a->count = a->hold = a->echo_active = 0;
  }
  if (++a->frames > 40) a->hold2 = 55;
  if (trigger) {
    a->hold2 = 55;
    a->quiet2 = 0;
  } else {
    if (a->hold2 > 0) --a->hold2;
    if (++a->quiet2 > 25 && a->energy_high) a->frames = 0;
  }
  if (config->echo_detection == 0) a->hold2 = 55;
}

void apply_suppression_gain(SerrinComplex* spectrum, const float* ratios, const float* noise_magnitudes, float gain,
                            int mode, int strength_type, int bins, SuppressorState* s, int flag) {
  const SerrinConfig* config = serrin_config();
  bool gentle;
  if (ratios[kSpectralBins] != 0.0f) {
    s->gentle_countdown = 4;
    gentle = true;
  } else if (s->gentle_countdown > 0) {
    --s->gentle_countdown;
    gentle = true;
  } else {
    gentle = false;
  }
  float floor = gentle ? kGentleFloor : kNormalFloor;
  float ceiling = 1.0f;
  if (strength_type >= 0 && strength_type <= 4) {
    gentle = false;
    floor = kNormalFloor;
    ceiling = kCeilings[strength_type];
  }
  const GainCurveRow* curve = gain_curve(gentle);
  float t;
  if (!s->suppress) floor = 1.0f;
  if (flag) {
    t = s->suppress ? 0.1f : 1.0f;
    floor = gentle ? 0.25f : 0.1f;
  } else {
    t = s->suppress ? 0.35f : 1.0f;
  }
  const float o = s->comfort_noise ? 1.0000501f : 0.0f;
  const float h = strength_type == 0 ? 0.8f * o : 0.0f;
  float e;
  if (strength_type == 999 || config->music_mode.load(std::memory_order_relaxed) != 0) {
    e = gain;
    floor = 1.0f;
  } else {
    e = t * gain;
  }
  spectrum[0] = spectrum[1] = {0.0f, 0.0f};
  if (bins > kGainCurveEnd) bins = kGainCurveEnd;
  // Prefix sums of the ratios for the windowed means.
  double prefix[kGainCurveEnd + 1];
  prefix[0] = 0.0;
  for (int i = 0; i < kGainCurveEnd; ++i) prefix[i + 1] = prefix[i] + ratios[i];
  for (int g = 0; g < kGainCurveRows; ++g) {
    const GainCurveRow& row = curve[g];
    const int first = kCurveGroupEdges[g];
    const int end = kCurveGroupEdges[g + 1] < bins ? kCurveGroupEdges[g + 1] : bins;
    for (int k = first; k < end; ++k) {
      float r = ratios[k];
      if (row.width > 0) {
        // Mean over a centred window of `width` bins.
        const int lo = k - row.width / 2 < 0 ? 0 : k - row.width / 2;
        const int hi = lo + row.width > kGainCurveEnd ? kGainCurveEnd : lo + row.width;
        const double sum = prefix[hi] - prefix[lo];
        r = static_cast<float>(sum / (hi - lo));
      }
      float& smoothed = s->ratios[k];
      smoothed = r > smoothed ? r : smoothed + (r - smoothed) * s->release;
      float g_k = 0.0f;
      float noise_factor = o;
      if (r != 0.0f) {
        g_k = smoothed * row.slope + floor;
        if (g_k > ceiling) g_k = ceiling;
        g_k *= gain;
        noise_factor = h;
      }
      if (mode == kEchoModeEchoOnly) {
        g_k = 0.0f;
        noise_factor = o;
      }
      const float n = noise_factor * e * noise_magnitudes[k] * kNoiseScale;
      const float g1 = comfort_noise_next(&s->noise_seed);
      const float g2 = comfort_noise_next(&s->noise_seed);
      spectrum[k] = {g1 * n + g_k * spectrum[k].re, g2 * n + g_k * spectrum[k].im};
    }
  }
}

namespace {

// Noise of magnitude scale x magnitudes[k] (x window[k] when given) into bins [first, end).
void FillNoise(const float* magnitudes, const float* window, float scale, int first, int end, SerrinComplex* out,
               SuppressorState* s) {
  for (int k = first; k < end; ++k) {
    const float a = scale * magnitudes[k] * (window != nullptr ? window[k] : 1.0f) * kNoiseScale;
    const float g1 = comfort_noise_next(&s->noise_seed);
    const float g2 = comfort_noise_next(&s->noise_seed);
    out[k] = {g1 * a, g2 * a};
  }
}

// Bins 2..879 from the noise magnitudes, the tail from the stored tail magnitudes when the
// delay length asks for it; nothing from 880 up.
void FillComfortNoise(const float* noise_magnitudes, const float* window, float scale, SerrinComplex* out,
                      SuppressorState* s) {
  std::memset(out, 0, sizeof(SerrinComplex) * kSpectralBins);
  FillNoise(noise_magnitudes, window, scale, 2, kGainCurveEnd, out, s);
  if (s->delay_length > kTailFillLength) {
    int first = kSpectralBins - s->delay_length / 2;
    if (first < 2) first = 2;
    FillNoise(s->tail, window, scale, first, kSpectralBins, out, s);
  }
  for (int k = kGainCurveEnd; k < kSpectralBins; ++k) out[k] = {0.0f, 0.0f};
}

}  // namespace

void comfort_noise_fill(const float* noise_magnitudes, float level, SerrinComplex* out, SuppressorState* s, int flag) {
  const float c = (s->suppress ? (flag ? 0.1f : 0.35f) : 1.0f) * level;
  FillComfortNoise(noise_magnitudes, s->window, c, out, s);
}

void comfort_noise_fill_unit(const float* noise_magnitudes, SerrinComplex* out, SuppressorState* s) {
  FillComfortNoise(noise_magnitudes, nullptr, 1.0f, out, s);
}

void agc_init(AgcState* a) {
  std::memset(a, 0, sizeof(*a));
  a->gain = 1.0f;
  a->max_gain = kAgcMaxGain;
  a->hold_reload = 50;
}

float agc_gain_update(AgcState* a, int halve, float level, float activity, int low_gain) {
  float g = a->gain;
  const float gmax = a->max_gain;
  const float e = std::fmin(gmax, 15000.0f / (level + 0.0001f));
  if (g > e) g = e;
  auto finish = [&](float v) {
    if (v > gmax) v = gmax;
    if (v < 0.5f) v = 0.5f;
    a->gain = v;
    return v;
  };
  if (activity < 10.0f) return finish(g);
  float c = activity;
  if (a->frames < 64) {
    ++a->frames;
  } else {
    c = c / 16.0f + 15.0f / 16.0f * a->level;
  }
  a->level = c;
  if (a->follower < 2.0f * c) {
    a->follower = 0.816864f * a->follower + 0.183136f * 2.0f * c;
    a->hold = a->hold_reload;
  } else {
    a->follower = 0.9694519f * a->follower + 0.030548096f * 2.0f * c;
    if (a->hold > 0) --a->hold;
  }
  const float gate = low_gain ? 1363.6364f : 714.2857f;
  if (a->follower < gate && (!halve || 2.0f * a->follower < gate)) return finish(g);
  const float target = std::fmin(low_gain ? 10.0f : 20.0f, 15000.0f / (a->follower + 0.0001f));
  if (g > target) {
    g = 0.984375f * g + 0.015625f * target;
  } else if (g > 5.0f) {
    g = 0.25f * g + 0.75f * target;
  } else if (g > 2.5f) {
    g = 0.5f * g + 0.5f * target;
  } else {
    g = 0.75f * g + 0.25f * target;
  }
  return finish(g);
}
