#include "adaptive_echo_filter.h"

#include <cmath>
#include <cstring>

#include "echo_mode.h"

const EchoFilterGroup kEchoFilterGroupTable[kEchoFilterGroups] = {
    {2, 40, 13, 0.03f},
    {40, 280, 8, 0.05f},
    {280, 880, 4, 0.05f},
};

namespace {

constexpr int kBandEdges[kEchoBandCount] = {12, 24, 60, 140, 280, 959};
constexpr float kDivergence = 8.0f;
constexpr float kCopyMargin = 2.0f;
constexpr float kStep = 0.5f;
constexpr float kRegularisation = 100.0f;
// Largest echo path gain (power, summed over the partitions) that adaptation believes: a
// microphone bin louder than this times the far end's history in that bin holds more than
// echo (a near talker, or a far end that never reaches the microphone), and adapting on
// it would teach the filter to cancel the near end.
constexpr float kMaxEchoPathGain = 100.0f;

int GroupTapBase(int g) {
  int base = 0;
  for (int i = 0; i < g; ++i) {
    const EchoFilterGroup& p = kEchoFilterGroupTable[i];
    base += (p.end - p.first) * p.partitions;
  }
  return base;
}

float Power(const SerrinComplex& c) { return c.re * c.re + c.im * c.im; }

SerrinComplex Mul(const SerrinComplex& a, const SerrinComplex& b) {
  return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
}

// Slots of a group's history ring, newest first.
void SlotOrder(int newest, int partitions, int* order) {
  for (int j = 0; j < partitions; ++j) {
    const int slot = newest - j;
    order[j] = slot < 0 ? slot + partitions : slot;
  }
}

}  // namespace

int echo_band_of_bin(int k) {
  static const struct Table {
    uint8_t band[kSpectralBins];
    Table() {
      int b = 0;
      for (int i = 0; i < kSpectralBins; ++i) {
        while (b < kEchoBandCount - 1 && i > kBandEdges[b]) ++b;
        band[i] = static_cast<uint8_t>(b);
      }
    }
  } table;
  return k >= 0 && k < kSpectralBins ? table.band[k] : kEchoBandCount - 1;
}

void echo_filter_init(EchoFilterState* f) {
  std::memset(f, 0, sizeof(*f));
  f->sample_rate_ratio = 1.0;
  f->drift_step = 1.0f;
}

namespace {

// Step 1: the newest far-end frame into each group's history ring, and the band far-end sums.
void FeedFarEnd(const SerrinComplex* far_spectrum, EchoFilterState* f) {
  std::memset(f->band_far, 0, sizeof(f->band_far));
  for (int g = 0; g < kEchoFilterGroups; ++g) {
    const EchoFilterGroup& p = kEchoFilterGroupTable[g];
    const int slot = (f->history_index[g] + 1) % p.partitions;
    f->history_index[g] = slot;
    const int base = GroupTapBase(g);
    for (int k = p.first; k < p.end; ++k) {
      f->history[base + (k - p.first) * p.partitions + slot] = far_spectrum[k];
      f->band_far[echo_band_of_bin(k)] += Power(far_spectrum[k]);
    }
  }
}

void ClearChannelSums(int channel, EchoFilterState* f) {
  std::memset(f->band_mic[channel], 0, sizeof(f->band_mic[channel]));
  std::memset(f->band_echo[channel], 0, sizeof(f->band_echo[channel]));
  std::memset(f->band_error[channel], 0, sizeof(f->band_error[channel]));
  std::memset(f->echo_power[channel], 0, sizeof(f->echo_power[channel]));
}

// What one step of a channel shares across its bins.
struct ChannelStep {
  int channel;
  float weight;  // adaptation gate: W of the frame's echo mode
  const float* residual_floors;
  const EchoPathRecord* echo_path;
  SerrinComplex* spectrum;
  EchoFilterState* f;
};

// One bin's far-end history (newest first through `order`) and its two filters.
struct BinTaps {
  const SerrinComplex* hist;
  SerrinComplex* a;
  SerrinComplex* b;
  const int* order;
  int partitions;
};

struct EchoEstimates {
  float far_power;  // P
  SerrinComplex ea_est;
  SerrinComplex eb_est;
};

// Step 2: P and the echo estimates of both filters.
EchoEstimates EstimateEcho(const BinTaps& t) {
  EchoEstimates e{0.0f, {0.0f, 0.0f}, {0.0f, 0.0f}};
  for (int j = 0; j < t.partitions; ++j) {
    const SerrinComplex& x = t.hist[t.order[j]];
    e.far_power += Power(x);
    const SerrinComplex pa = Mul(t.a[j], x);
    const SerrinComplex pb = Mul(t.b[j], x);
    e.ea_est.re += pa.re;
    e.ea_est.im += pa.im;
    e.eb_est.re += pb.re;
    e.eb_est.im += pb.im;
  }
  return e;
}

// Step 4: the error with the smaller instantaneous power replaces the bin; the band sums.
void TakeSmallerError(const ChannelStep& s, int k, float ym, float am, float bm, const SerrinComplex& ea,
                      const SerrinComplex& eb, const EchoEstimates& est) {
  const bool use_a = am < bm;
  const float power = Power(use_a ? est.ea_est : est.eb_est);
  s.f->echo_power[s.channel][k] = power;
  const int band = echo_band_of_bin(k);
  s.f->band_mic[s.channel][band] += ym;
  s.f->band_echo[s.channel][band] += power;
  s.f->band_error[s.channel][band] += use_a ? am : bm;
  s.spectrum[k] = use_a ? ea : eb;
}

struct DivergenceResult {
  bool cleared_a;
  bool copied_into_a;
};

// Step 5: clear a filter far worse than no filter, copy a clearly better one over the other.
DivergenceResult ControlDivergence(const BinTaps& t, float& pm, float& pa, float& pb) {
  DivergenceResult r{false, false};
  if (pa > kDivergence * pm) {
    std::memset(t.a, 0, sizeof(SerrinComplex) * t.partitions);
    pm = pa = pb = 0.0f;
    r.cleared_a = true;
  } else if (pm > kDivergence * pa && pb > kCopyMargin * pa) {
    pm = pa = pb = 0.0f;
    std::memcpy(t.b, t.a, sizeof(SerrinComplex) * t.partitions);
  }
  if (pb > kDivergence * pm) {
    std::memset(t.b, 0, sizeof(SerrinComplex) * t.partitions);
    pm = pa = pb = 0.0f;
  } else if (pm > kDivergence * pb && pa > kCopyMargin * pb) {
    pm = pa = pb = 0.0f;
    std::memcpy(t.a, t.b, sizeof(SerrinComplex) * t.partitions);
    r.copied_into_a = true;
  }
  return r;
}

// Step 6: A += mu e conj(X) (normalised LMS).
void AdaptFilterA(const BinTaps& t, const SerrinComplex& e, float far_power) {
  const float mu = kStep / (far_power + kRegularisation);
  const SerrinComplex me{mu * e.re, mu * e.im};
  for (int j = 0; j < t.partitions; ++j) {
    const SerrinComplex& x = t.hist[t.order[j]];
    t.a[j].re += me.re * x.re + me.im * x.im;
    t.a[j].im += me.im * x.re - me.re * x.im;
  }
}

// Steps 2 to 6 for bin k, with the group's power smoothing c.
void FilterBin(const ChannelStep& s, const BinTaps& t, float c, int k) {
  const EchoEstimates est = EstimateEcho(t);
  const SerrinComplex y = s.spectrum[k];
  const SerrinComplex ea{y.re - est.ea_est.re, y.im - est.ea_est.im};
  const SerrinComplex eb{y.re - est.eb_est.re, y.im - est.eb_est.im};
  const float ym = Power(y), am = Power(ea), bm = Power(eb);
  float& pm = s.f->power_mic[s.channel][k];
  float& pa = s.f->power_a[s.channel][k];
  float& pb = s.f->power_b[s.channel][k];
  pm += c * (ym - pm);
  pa += c * (am - pa);
  pb += c * (bm - pb);
  TakeSmallerError(s, k, ym, am, bm, ea, eb, est);
  const DivergenceResult d = ControlDivergence(t, pm, pa, pb);
  // Adaptation where the far end is well above the near end.
  const float near = s.echo_path != nullptr ? s.echo_path->near_level[k] : 0.0f;
  const float far_power = est.far_power;
  if (far_power * s.residual_floors[echo_band_of_bin(k)] > s.weight * near && ym < kMaxEchoPathGain * far_power) {
    // The error of the filter as it now stands: of B's copy, of the cleared filter (the
    // microphone itself: adapting a cleared filter with the diverged error would throw it
    // straight back), or of A.
    AdaptFilterA(t, d.copied_into_a ? eb : (d.cleared_a ? y : ea), far_power);
  }
}

// The bins of group g below `bins`; step 7 (the history index) was taken in step 1.
void FilterGroup(const ChannelStep& s, int g, int bins) {
  const EchoFilterGroup& p = kEchoFilterGroupTable[g];
  const int base = GroupTapBase(g);
  const int end = p.end < bins ? p.end : bins;
  int order[13];
  SlotOrder(s.f->history_index[g], p.partitions, order);
  for (int k = p.first; k < end; ++k) {
    const int at = base + (k - p.first) * p.partitions;
    const BinTaps t{s.f->history + at, s.f->filter_a[s.channel] + at, s.f->filter_b[s.channel] + at, order,
                    p.partitions};
    FilterBin(s, t, p.smoothing, k);
  }
}

}  // namespace

void echo_filter_step(int channel, int echo_path_channel, int feed_far_end, const float* residual_floors,
                      const EchoPathRecord* echo_path, int echo_mode, int bins, SerrinComplex* channel_spectrum,
                      const SerrinComplex* far_spectrum, EchoFilterState* f) {
  (void)echo_path_channel;
  if (channel < 0 || channel >= kEchoFilterChannels) return;
  if (bins > kEchoFilterBins) bins = kEchoFilterBins;
  const float weight = echo_mode == kEchoModeEchoOnly ? 100.0f : 400.0f;
  if (feed_far_end) FeedFarEnd(far_spectrum, f);
  ClearChannelSums(channel, f);
  const ChannelStep step{channel, weight, residual_floors, echo_path, channel_spectrum, f};
  for (int g = 0; g < kEchoFilterGroups; ++g) FilterGroup(step, g, bins);
  if (channel == 0) {
    for (int k = bins; k < kSpectralBins; ++k) channel_spectrum[k] = {0.0f, 0.0f};
  }
}

namespace {

constexpr int kSlopeSteps = 16;
// Phase step per bin of one slope step: a lead of two samples in the 1920-point frame, so
// that the sixteen steps of either sign span 32 samples, a C of 0.9375 per sample. The sums
// then form a peak as wide as the bins' bandwidth allows (about 13 samples), whose vertex
// the neighbouring steps place; a sixteenth of a sample per step left the sums flat over
// the whole range and the slope to the noise (the delay line ran off by 1 % within 30 s
// of a speech-like far end).
constexpr double kSlopeUnit = 2.0 * 3.14159265358979323846 / 1920.0 * 2.0;
constexpr float kSlopeScale = 0.1171875f;
constexpr float kMinCorrelation = 8.192f;
constexpr float kRatioStep = 0.000003f;
constexpr float kFineLimit = 1.5f;
constexpr float kFixedLimit = 30.0f;
constexpr int kWarmUp = 9;
constexpr int kFineCounts = 25;
constexpr double kFitRatio = 10.0;

// Correlation sum of the unit cross-spectra z (bins 2..151) with the slope of s steps.
double SlopeSum(const SerrinComplex* z, int s) {
  const double step_re = std::cos(s * kSlopeUnit), step_im = std::sin(s * kSlopeUnit);
  double rot_re = std::cos(2 * s * kSlopeUnit), rot_im = std::sin(2 * s * kSlopeUnit);
  double sum = 0.0;
  for (int k = 2; k < kDriftBins; ++k) {
    sum += z[k].re * rot_re + z[k].im * rot_im;
    const double re = rot_re * step_re - rot_im * step_im;
    rot_im = rot_re * step_im + rot_im * step_re;
    rot_re = re;
  }
  return sum;
}

// Echo predictions of filters A and B over bins 2..151 for this frame: far_spectrum is the
// newest partition, the history ring (not yet fed this frame) holds the older ones.
void DriftPredictions(const SerrinComplex* far_spectrum, int channel, const EchoFilterState* f, SerrinComplex* pred_a,
                      SerrinComplex* pred_b) {
  pred_a[0] = pred_a[1] = pred_b[0] = pred_b[1] = {0.0f, 0.0f};
  int base = 0;
  for (int g = 0; g < kEchoFilterGroups; ++g) {
    const EchoFilterGroup& p = kEchoFilterGroupTable[g];
    const int end = p.end < kDriftBins ? p.end : kDriftBins;
    int order[13];
    order[0] = -1;
    for (int j = 1; j < p.partitions; ++j) {
      const int slot = f->history_index[g] - (j - 1);
      order[j] = slot < 0 ? slot + p.partitions : slot;
    }
    for (int k = p.first; k < end; ++k) {
      const int at = base + (k - p.first) * p.partitions;
      const SerrinComplex* a = f->filter_a[channel] + at;
      const SerrinComplex* b = f->filter_b[channel] + at;
      SerrinComplex ea{0.0f, 0.0f}, eb{0.0f, 0.0f};
      for (int j = 0; j < p.partitions; ++j) {
        const SerrinComplex& x = j == 0 ? far_spectrum[k] : f->history[at + order[j]];
        const SerrinComplex pa = Mul(a[j], x), pb = Mul(b[j], x);
        ea.re += pa.re;
        ea.im += pa.im;
        eb.re += pb.re;
        eb.im += pb.im;
      }
      pred_a[k] = ea;
      pred_b[k] = eb;
    }
    base += (p.end - p.first) * p.partitions;
  }
}

// Whether the better prediction explains the microphone over the drift bins: what it
// leaves is at least 10 dB below the microphone. A filter that is still converging (or a
// near talker over the echo) shows a slope that is no clock drift: on the echo bench's
// drift-free 250 ms path the converging filter gave C of about -3 for ten frames, the
// fixed mode took the ratio 700 ppm off and the near talker lost 5.2 dB in double talk
// instead of 1.7 dB.
bool PredictionFits(const SerrinComplex* mic, const SerrinComplex* pred_a, const SerrinComplex* pred_b) {
  double y = 0.0, left = 0.0;
  for (int k = 2; k < kDriftBins; ++k) {
    const SerrinComplex ra{mic[k].re - pred_a[k].re, mic[k].im - pred_a[k].im};
    const SerrinComplex rb{mic[k].re - pred_b[k].re, mic[k].im - pred_b[k].im};
    y += Power(mic[k]);
    left += std::fmin(Power(ra), Power(rb));
  }
  return y > 0.0 && left * kFitRatio < y;
}

}  // namespace

float clock_drift_slope(const SerrinComplex* mic, const SerrinComplex* pred_a, const SerrinComplex* pred_b,
                        const float* floors, float* best_sum, int* bins_used) {
  int used = 0;
  // Unit cross-spectrum of the better prediction with the microphone where the echo is
  // well above the floor.
  SerrinComplex z[kDriftBins];
  for (int k = 0; k < kDriftBins; ++k) {
    const SerrinComplex& y = mic[k];
    const SerrinComplex ra{y.re - pred_a[k].re, y.im - pred_a[k].im};
    const SerrinComplex rb{y.re - pred_b[k].re, y.im - pred_b[k].im};
    const SerrinComplex& p = Power(ra) < Power(rb) ? pred_a[k] : pred_b[k];
    z[k] = {0.0f, 0.0f};
    if (k < 2 || Power(p) <= 40.0f * floors[k]) continue;
    const SerrinComplex cross{y.re * p.re + y.im * p.im, y.im * p.re - y.re * p.im};
    const float m = std::sqrt(Power(cross)) + 0.01f;
    z[k] = {cross.re / m, cross.im / m};
    ++used;
  }
  *bins_used = used;
  // Correlation sums of the sixteen slopes of either sign.
  double sums[2 * kSlopeSteps + 1];
  int best = 0;
  for (int s = -kSlopeSteps; s <= kSlopeSteps; ++s) {
    sums[s + kSlopeSteps] = SlopeSum(z, s);
    if (sums[s + kSlopeSteps] > sums[best]) best = s + kSlopeSteps;
  }
  *best_sum = static_cast<float>(sums[best]);
  // The sums follow a cosine of the slope error, a parabola near its top: its vertex
  // places the slope between the steps.
  double position = best - kSlopeSteps;
  if (best > 0 && best < 2 * kSlopeSteps) {
    const double lo = sums[best - 1], mid = sums[best], hi = sums[best + 1];
    const double curve = lo - 2.0 * mid + hi;
    if (curve < 0.0) {
      double offset = 0.5 * (lo - hi) / curve;
      if (offset > 0.5) offset = 0.5;
      if (offset < -0.5) offset = -0.5;
      position += offset;
    }
  }
  return static_cast<float>(position * 16.0 * kSlopeScale);
}

float clock_drift_fixed_shape(float c) {
  const float a = std::fabs(c);
  if (a > 7.0f) return 49.0f * c;
  if (a > 1.0f) return c * a * a;
  return c;
}

void clock_drift_estimate(const SerrinComplex* mic, const SerrinComplex* far_spectrum, const float* floors, int channel,
                          int echo_mode, int warm_up, EchoFilterState* f) {
  if (echo_mode != kEchoModeEchoOnly || channel < 0 || channel >= kEchoFilterChannels) return;
  SerrinComplex pred_a[kDriftBins], pred_b[kDriftBins];
  DriftPredictions(far_spectrum, channel, f, pred_a, pred_b);
  if (!PredictionFits(mic, pred_a, pred_b)) return;
  float best = 0.0f;
  int used = 0;
  const float c = clock_drift_slope(mic, pred_a, pred_b, floors, &best, &used);
  if (best < kMinCorrelation) return;
  if (warm_up >= kWarmUp) {
    // Adaptive mode: fine corrections only, with a step that shrinks while they cancel
    // out and grows again while they keep one direction.
    f->drift_adaptive = 1;
    if (std::fabs(c) >= kFineLimit) return;
    f->drift_slope += c * kRatioStep;
    if (++f->drift_count >= kFineCounts) {
      if (std::fabs(f->drift_slope) < 0.000005f) f->drift_step *= 0.1f;
      if (f->drift_step < 0.25f && std::fabs(f->drift_slope) > 0.00001f) f->drift_step *= 2.0f;
      if (f->drift_step < 0.005f) f->drift_step = 0.005f;
      if (f->drift_step > 1.0f) f->drift_step = 1.0f;
      f->drift_slope = 0.0f;
      f->drift_count = 0;
    }
    f->drift_last = c * kRatioStep * f->drift_step;
    f->sample_rate_ratio += f->drift_last;
    return;
  }
  f->drift_step = 1.0f;
  if (std::fabs(c) >= kFixedLimit) return;
  if (std::fabs(c) < kFineLimit && f->settle < kWarmUp) ++f->settle;
  f->drift_last = clock_drift_fixed_shape(c) * kRatioStep;
  f->sample_rate_ratio += f->drift_last;
}

void delay_record_init(DelayRecord* r) { std::memset(r, 0, sizeof(*r)); }

const SerrinComplex* spectral_delay_ring_step(const SerrinComplex* spectrum, int32_t delay, SpectralDelayRing* ring) {
  SerrinComplex* slot = ring->slots[ring->index];
  for (int i = 0; i < kDelayRingValues; ++i) slot[i] = spectrum[60 + 2 * i];
  int back = delay / 4;
  if (back < 0) back = 0;
  const int from = ((ring->index - back) % kDelayRingSlots + kDelayRingSlots) % kDelayRingSlots;
  ring->index = (ring->index + 1) % kDelayRingSlots;
  return ring->slots[from];
}

namespace {

constexpr float kVoterSmoothing = 0.25f;
constexpr int kVotePeriod = 50;
constexpr int kVoteFrames = 12;
constexpr int kMinVotes = 4;
constexpr int32_t kMaxDelay = 20;
// Fit of a lag: coherence summed over the twelve bins (12 at most).
constexpr float kVoterLagMargin = 2.0f;
constexpr float kVoterMinFit = 8.0f;

void UpdateFit(const SerrinComplex* mic, FrameDelayVoter* v) {
  for (int i = 0; i < kDelayRingValues; ++i) {
    v->mic_power[i] += kVoterSmoothing * (Power(mic[i]) - v->mic_power[i]);
  }
  for (int lag = 0; lag < kVoterLags; ++lag) {
    const SerrinComplex* r = v->reference_history[(v->history_index - lag + kVoterLags) % kVoterLags];
    float fit = 0.0f;
    for (int i = 0; i < kDelayRingValues; ++i) {
      // Smoothed cross spectrum m conj(r) and reference power.
      const SerrinComplex x{mic[i].re * r[i].re + mic[i].im * r[i].im, mic[i].im * r[i].re - mic[i].re * r[i].im};
      SerrinComplex& c = v->cross[lag][i];
      c.re += kVoterSmoothing * (x.re - c.re);
      c.im += kVoterSmoothing * (x.im - c.im);
      float& rp = v->ref_power[lag][i];
      rp += kVoterSmoothing * (Power(r[i]) - rp);
      const float denom = rp * v->mic_power[i];
      if (denom > 0.0f) fit += Power(c) / denom;
    }
    v->fit[lag] = fit;
  }
}

}  // namespace

int frame_delay_best_fit(const FrameDelayVoter* v) {
  int best = 0;
  for (int lag = 1; lag < kVoterLags; ++lag) {
    if (v->fit[lag] > v->fit[best]) best = lag;
  }
  // Speech stays alike over neighbouring frames: a longer lag must fit clearly better
  // than none, and a frame without a clear fit gives no vote.
  if (v->fit[best] < kVoterLagMargin * v->fit[0]) best = 0;
  if (v->fit[best] < kVoterMinFit) return -1;
  // The echo's envelope peaks after its onset: a prediction from eight partitions that
  // starts one frame before the best lag keeps the onset in the filter's first partition.
  return best > 0 ? best - 1 : 0;
}

void frame_delay_vote(const SerrinComplex* delayed, const SerrinComplex* reference_spectrum, FrameDelayVoter* v) {
  v->history_index = (v->history_index + 1) % kVoterLags;
  for (int i = 0; i < kDelayRingValues; ++i) {
    v->reference_history[v->history_index][i] = reference_spectrum[60 + 2 * i];
  }
  UpdateFit(delayed, v);
  const int phase = v->frame_count % kVotePeriod;
  if (phase == 0) std::memset(v->votes, 0, sizeof(v->votes));
  if (phase < kVoteFrames) {
    const int best = frame_delay_best_fit(v);
    if (best >= 0) ++v->votes[best];
  } else if (phase == kVoteFrames) {
    int lag = 0;
    for (int l = 1; l < kVoterLags; ++l) {
      if (v->votes[l] > v->votes[lag]) lag = l;
    }
    if (v->votes[lag] >= kMinVotes) {
      v->last_candidate = 4 * lag;
      if (v->last_candidate > v->delay + 4 || v->last_candidate < v->delay) {
        v->delay = v->last_candidate;
      }
      if (v->delay > kMaxDelay) v->delay = kMaxDelay;
    }
  }
  ++v->frame_count;
}
