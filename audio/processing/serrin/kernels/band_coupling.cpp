#include "band_coupling.h"

#include <cmath>
#include <cstring>

#include "aec_platform.h"
#include "serrin_config.h"

namespace {

constexpr int kBandEdges[kCouplingBands] = {12, 24, 60, 140, 280, 959};
constexpr float kCouplingMax = 32.0f;
constexpr int kResidualGroups = 30;
constexpr int kResidualFirstBin = 12;
constexpr float kResidualWeights[9] = {7e6f, 1.5e6f, 1.5e6f, 1e6f, 5e5f, 5e5f, 4e5f, 3e5f, 3e5f};

float Power(const SerrinComplex& c) { return c.re * c.re + c.im * c.im; }

float Clamp(float v, float lo, float hi) { return v < lo ? lo : (v > hi ? hi : v); }

}  // namespace

namespace {

void CouplingInit(CouplingState* c, float floor) {
  std::memset(c, 0, sizeof(*c));
  for (MinTracker& t : c->trackers) {
    min_tracker_setup(&t, 2.0614585e12f, floor, floor, 50, 100, 0.25f);
  }
  for (int b = 0; b < kCouplingBands; ++b) {
    for (int r = 0; r < kCouplingRefs; ++r) c->coupling_fast[b][r] = c->coupling_slow[b][r] = 16.0f;
  }
  c->release = 0.1175031f;
  c->smoothing = 0.1175031f;
  c->growth = 1.0092529f;
  c->coupling_min = 0.005f;
}

}  // namespace

void coupling_trackers_init(CouplingState* c) { CouplingInit(c, 5e7f); }

void coupling_trackers_init_second(CouplingState* c) { CouplingInit(c, 2.0614583f); }

void echo_path_record_init(EchoPathRecord* r, bool second_path) {
  std::memset(r, 0, sizeof(*r));
  if (second_path) {
    coupling_trackers_init_second(&r->coupling);
  } else {
    coupling_trackers_init(&r->coupling);
  }
  echo_gains_reset(r);
}

void echo_gains_reset(EchoPathRecord* r) {
  // Learnt down from an echo as loud as the far end.
  for (float& g : r->echo_gain) g = 1.0f;
  for (float& g : r->echo_gain_bin) g = 1.0f;
  for (float& g : r->residual_gain_bin) g = 1.0f;
}

int coupling_update(const float* mic_bands, const float (*ref_bands)[kCouplingBands], const int* active_refs,
                    int active_count, const float (*ref_floors)[kCouplingBands],
                    const float (*ref_energies)[kCouplingBands], CouplingState* c) {
  int updated = 0;
  float sum = 0.0f;
  const bool warming_up = c->far_frames <= 100;  // as counted before this frame
  for (int b = 0; b < kCouplingBands; ++b) {
    const float x = mic_bands[b];
    sum += x;
    min_tracker_update(&c->trackers[b], x);
    if (x > c->band_level[b]) {
      c->band_level[b] = x;
    } else {
      c->band_level[b] += (x - c->band_level[b]) * c->release;
    }
    for (int i = 0; i < active_count; ++i) {
      const int r = active_refs[i];
      const float g = (b < 3 ? 1.0f : 2.0f) * ref_bands[r][b];
      float& peak = c->ref_peak[b][r];
      peak = g > peak ? g : peak + (g - peak) * c->release;
    }
    if (x > 10.0f * c->trackers[b].smooth_a) {
      c->band_hold[b] = 5;
      for (int i = 0; i < active_count; ++i) {
        const int r = active_refs[i];
        if (ref_energies[r][b] > 6.0f * ref_floors[r][b]) {
          if (b == 1) ++c->far_frames;
          const float h = Clamp(c->ref_peak[b][r] / (c->band_level[b] + 1e-7f), c->coupling_min, kCouplingMax);
          c->coupling_fast[b][r] += (h - c->coupling_fast[b][r]) * 0.2f;
          if (b >= 1) ++updated;
        } else {
          const float h = Clamp(4.0f * c->ref_peak[b][r] / (c->band_level[b] + 1e-7f), c->coupling_min, kCouplingMax);
          float& slow = c->coupling_slow[b][r];
          slow += (h - slow) * (h > slow ? 0.0005f : 0.1f);
        }
      }
    } else if (c->band_hold[b] > 0) {
      --c->band_hold[b];
    }
  }
  c->band_sum = sum;
  return warming_up ? 2 : updated;
}

void residual_state_init(ResidualState* r) {
  std::memset(r, 0, sizeof(*r));
  r->residual_threshold = kResidualThreshold;
  r->low_leak = kResidualLowLeak;
}

void residual_echo_measure(const float* mic_power, const float* echo_power, const float* third_power,
                           const float* band_weights, ResidualState* r) {
  const SerrinConfig* config = serrin_config();
  const bool switch_on = config->residual_switch != 0;
  float leak = 0.0f;
  float total = 0.0f;
  int band = 0;
  float weight = band_weights[0];
  for (int g = 0; g < kResidualGroups; ++g) {
    const int start = kResidualFirstBin + 8 * g;
    while (band < kCouplingBands - 1 && start > kBandEdges[band]) {
      ++band;
      weight = band_weights[band];
    }
    float n = 0.0f, e = 0.0f, t = 0.0f;
    for (int k = start; k < start + 8; ++k) {
      n += mic_power[k];
      e += echo_power[k];
      t += third_power[k];
    }
    if (start == 20 || start == 28) {
      leak += e;
    } else if (start > 28) {
      e += leak * r->low_leak;
    }
    const float w = g < 9 ? kResidualWeights[g] : 2e5f;
    const float residual = n - (switch_on ? 8.0f * t : w * config->residual_factor);
    r->peak_hold[g] = std::fmax(0.8f * r->peak_hold[g], e);
    const float bound = r->peak_hold[g] * weight;
    if (residual > 0.0f) total += residual / (bound + 10000.0f);
  }
  const float threshold = switch_on ? r->residual_threshold : 2.0f * r->residual_threshold;
  if (total > threshold) r->residual_flag = 3;
  r->residual_total = total;
  if (r->residual_flag > 0) --r->residual_flag;
}

void mix_countdowns_update(int32_t selected, int second_mic_active, int32_t two_mic_countdown, MixRecord* mix) {
  if (selected != mix->target) {
    mix->source = mix->target;
    mix->target = selected;
    mix->fade_a = kMixSwitchFrames;
  } else if (mix->fade_a > 0) {
    --mix->fade_a;
  }
  mix->fade_b = second_mic_active ? two_mic_countdown : 0;
}

namespace {

constexpr int kMixGroups = 58;

// Per-bin ratios of one channel: single bins 0..11, then 58 groups of 16 bins.
void MixRatios(const SerrinComplex* x, const float* floor, float* ratio) {
  for (int k = 0; k < 12; ++k) ratio[k] = Power(x[k]) / (floor[k] + 1.0f);
  for (int g = 0; g < kMixGroups; ++g) {
    const int start = 12 + 16 * g;
    float p = 0.0f, f = 0.0f;
    for (int k = start; k < start + 16; ++k) {
      p += Power(x[k]);
      f += floor[k];
    }
    const float v = p / (f + 1.0f);
    for (int k = start; k < start + 16; ++k) ratio[k] = v;
  }
}

}  // namespace

void second_mic_mix(SerrinComplex (*spectra)[kSpectralBins], const float* const* floors, MixRecord* mix) {
  float d = 0.0f;
  int source = mix->source;
  if (mix->fade_a > 0) {
    d = mix->fade_a > 20 ? 1.0f : mix->fade_a / 20.0f;
  } else if (mix->fade_b > 0) {
    d = mix->fade_b > 30 ? 1.0f : mix->fade_b / 30.0f;
    source = 1;
  } else {
    return;
  }
  const int target = mix->target;
  if (source == target) return;
  const float c = 1.0f - d;
  float m[kSpectralBins], o[kSpectralBins];
  const int end = 12 + 16 * kMixGroups;
  MixRatios(spectra[target], floors[target], m);
  MixRatios(spectra[source], floors[source], o);
  for (int k = 0; k < end; ++k) {
    const float v = 1.0f / (m[k] + 1.0f + o[k]);
    const float a = m[k] * v * 1.414f * d + c;
    const float b = o[k] * v * 1.414f * d;
    SerrinComplex& t = spectra[target][k];
    const SerrinComplex& s = spectra[source][k];
    t = {a * t.re + b * s.re, a * t.im + b * s.im};
  }
}

void two_mic_state_init(TwoMicState* t) {
  std::memset(t, 0, sizeof(*t));
  t->magnitude_threshold = 20.0f;
}

void low_band_energy_pair(const SerrinComplex* main, const SerrinComplex* second, float* values, TwoMicState* t) {
  const SerrinComplex* spectra[2] = {main, second};
  for (int i = 0; i < 2; ++i) {
    float e = 0.0f;
    for (int j = 0; j < kLowBandValues; ++j) {
      const float p = Power(spectra[i][kLowBandFirst + j]);
      t->band_values[i][j] = p;
      e += p;
    }
    t->band_sum[i] = e;
    float& f = t->low_band[i];
    if (i == 1) {
      e *= 4.0f;
      if (second[0].re != 0.0f || second[0].im != 0.0f) e *= 4.0f;
      f = e > f ? e : 0.9f * f + 0.1f * e;
    } else {
      f = f < e ? 0.5f * e + 0.5f * f : 0.8f * f + 0.2f * e;
    }
    values[i] += f;
  }
}

namespace {

// 10 log10 of a ratio; an empty numerator or denominator is taken as 1e-9.
float RatioDb(float num, float den) { return 10.0f * std::log10(std::fmax(num, 1e-9f) / std::fmax(den, 1e-9f)); }

}  // namespace

int mag_threshold_update(const SerrinComplex* main, const SerrinComplex* second, float delay, int enable,
                         TwoMicState* t) {
  float values[2] = {0.0f, 0.0f};
  low_band_energy_pair(main, second, values, t);
  const float band = t->band_sum[0];
  float c = values[0] - 10.0f * band;
  if (c < 20.0f * band) c = 0.001f;
  const float c_now = c;
  float f = delay < -1.5f ? t->previous_level[1] : values[1];
  if (delay > 0.5f) {
    c = t->previous_level[0];
    f = values[1];
  }
  const float ratio_db = RatioDb(c, f);
  const float band_db = RatioDb(c, band);
  if (++t->frame_counter % 25 == 0) {
    aec_debugger_output("serrin: MagThreshold = %f \n", t->magnitude_threshold - 9.0f);
    aec_debugger_output("serrin: Echo Delay = %f \n", delay);
  }
  const bool second_silent = second[0].re == 0.0f && second[0].im == 0.0f;
  if ((RatioDb(c, 1.0f) > 100.0f || band_db > 40.0f) && enable && ratio_db < 20.0f && second_silent) {
    t->hold = 150;
    float& m = t->magnitude_threshold;
    if (ratio_db > m) {
      m = 0.05f * ratio_db + 0.95f * m;
    } else if (ratio_db > m - 3.0f) {
      m = 0.001f * ratio_db + 0.999f * m;
    } else {
      m = 0.01f * ratio_db + 0.99f * m;
    }
  } else if (t->hold > 0) {
    --t->hold;
  }
  t->previous_level[0] = c_now;
  t->previous_level[1] = values[1];
  if (ratio_db > t->magnitude_threshold - 9.0f) t->countdown = 100;
  if (t->countdown > 0) --t->countdown;
  return t->countdown;
}

void channel_vote_init(ChannelVote* v, int channels) {
  std::memset(v, 0, sizeof(*v));
  v->channels = channels;
  v->bonus = 1.5f;
  v->attack = 0.5f;
  v->release = 0.95f;
}

int dominant_channel_select(const SerrinComplex (*spectra)[kSpectralBins], const float* const* floors, ChannelVote* v) {
  if (v->channels <= 1) {
    v->selected = 0;
    return 0;
  }
  const int channels = v->channels > 3 ? 3 : v->channels;
  int votes[3] = {0, 0, 0};
  for (int i = 0; i < 40; ++i) {
    const int k = 40 + 2 * i;
    int best = -1;
    float best_s = 0.0f;
    for (int j = 0; j < channels; ++j) {
      float h = Power(spectra[j][k]) - 32.0f * floors[j][k];
      if (h < 0.0f) h = 0.0f;
      if (j == v->selected) h *= v->bonus;
      float& s = v->smoothed[i][j];
      s = h > s ? s + (h - s) * v->attack : s * v->release;
      if (best < 0 || s > best_s) {
        best = j;
        best_s = s;
      }
    }
    if (best >= 0 && best_s > 0.0f) ++votes[best];
  }
  int top = 0;
  for (int j = 1; j < channels; ++j) {
    if (votes[j] > votes[top]) top = j;
  }
  if (votes[top] > 20) v->selected = top;
  return v->selected;
}
