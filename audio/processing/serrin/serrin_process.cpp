#include "serrin_process.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "aec_platform.h"
#include "audio_lib_log.h"
#include "echo_mode.h"
#include "serrin_config.h"

namespace {

constexpr int kFrame = kSerrinFrame;
constexpr float kMusicFarLevelReset = 9600000.0f;
constexpr float kNormalFarLevelReset = 96000000.0f;
constexpr float kFarLevelFloor = 96000.0f;
constexpr int32_t kLoudHold = 17;
constexpr int32_t kHeadphoneMode = 50;
constexpr float kClipLevel = 25000.0f;
constexpr float kOutputLimit = 32000.0f;
constexpr int kGainBlock = 96;

// Values left open by the design, chosen with the echo bench: the adaptation gate's
// near-end level as a fraction of the noise floor; the far-end envelope's decay and the
// learning rates of the per-bin echo gains; the margin by which what the filter left must
// exceed the residual echo expected of it and the noise before it counts as a near end
// (8 and 12 let more early echo through or lost more talker); the clamp of the band echo
// gains used as residual floors; the echo fraction that counts as residual in the
// suppression ratio.
constexpr float kNearLevelScale = 0.01f;
constexpr float kFarEnvelopeDecay = 0.8f;
constexpr float kEchoGainFall = 0.02f;
constexpr float kEchoGainRise = 0.02f;
constexpr float kDoubleTalkMargin = 10.0f;
constexpr float kResidualFloorMin = 0.01f;
constexpr float kResidualFloorMax = 16.0f;
constexpr float kResidualEchoFraction = 0.05f;
constexpr float kMaxEchoGain = 100.0f;  // largest believable echo over far-end power, per bin
constexpr float kResidualBandWeight = 1.0f;
constexpr float kEchoPeakThreshold = 1e8f;
constexpr float kEchoPeakFactor = 2.0f;
constexpr int32_t kReferenceSettleFrames = 10;
constexpr int32_t kHoldCounterMax = 100;
constexpr float kLoudEchoPathSum = 20000000.0f;
// Scaling the reference spectrum by 10 after a frame whose echo sum exceeded 2e7 toggles
// with the echo level (this spectrum's echo sum is far above 2e7 for any audible echo and
// falls below it in every pause), so the filter's history holds frames at two scales and
// each onset is misjudged. On the echo bench the near talker in double talk lost 1.4 to
// 104 dB with it (espeak-ng speech: 9.7 to 54 dB), without it at most 6.4 dB (23 dB just
// after a delay jump), with the same ERLE. So it is left out.
constexpr bool kScaleLoudReference = false;
constexpr float kEchoFlagGainCap = 10.0f;
// Crest of the band levels: 37 bands of 16 bins from bin 4 (100 Hz to 14.8 kHz).
constexpr int kCrestBands = 37;
constexpr int kCrestBandFirst = 4;
constexpr int kCrestBandWidth = 16;

const int16_t kSilence[kFrame] = {};

float Power(const SerrinComplex& c) { return c.re * c.re + c.im * c.im; }

float EnergyOfBins(const SerrinComplex* spectrum, int first, int last) {
  float e = 0.0f;
  for (int k = first; k <= last; ++k) e += Power(spectrum[k]);
  return e;
}

float MeanAbs(const int16_t* x) {
  float sum = 0.0f;
  for (int n = 0; n < kFrame; ++n) sum += static_cast<float>(std::abs(static_cast<int>(x[n])));
  return sum / kFrame;
}

const SerrinChannel* FindMicChannel(SerrinChannel* const* channels) {
  if (channels == nullptr) return nullptr;
  for (int i = 0; i < kSerrinChannelTableSize && channels[i] != nullptr; ++i) {
    if (channels[i]->type == 1) return channels[i];
  }
  return nullptr;
}

// The six bands of the core: first and last bin.
constexpr int kBandFirst[6] = {2, 13, 25, 61, 141, 281};
constexpr int kBandLast[6] = {12, 24, 60, 140, 280, 959};

// Expected echo: the far end's per-bin envelope (a decaying peak that spans the echo's
// reverberation) times the echo gain of its band. The gain is learnt on echo-only frames,
// falling fast and rising slowly, so that double talk does not teach it; it also scales
// the filter's adaptation gate as the channel's residual floor.
void UpdateEchoGains(SerrinState* s, int32_t c) {
  EchoPathRecord& path = s->echo_path[c];
  // Learnt where the measure found no near end (not where the echo hint forced mode 2).
  const bool learn =
      s->far_loud_hold == kLoudHold && s->echo_mode == kEchoModeEchoOnly && s->residual.residual_flag == 0;
  float far_band[6] = {}, echo_band[6] = {};
  for (int k = 2; k < kSpectralBins; ++k) {
    // Neighbouring bins too: a gliding pitch moves the echo's harmonics between bins.
    float p = Power(s->reference_spectrum[k]);
    p = std::fmax(p, Power(s->reference_spectrum[k - 1]));
    if (k + 1 < kSpectralBins) p = std::fmax(p, Power(s->reference_spectrum[k + 1]));
    float& env = s->far_envelope[k];
    env = p > kFarEnvelopeDecay * env ? p : kFarEnvelopeDecay * env;
    // A microphone bin far louder than the far end ever was in it holds no echo of it
    // (a near talker, or a far end that does not reach the microphone): not learnt.
    const bool coupled = s->mic_power[k] < kMaxEchoGain * env;
    float& gain = path.echo_gain_bin[k];
    if (learn && coupled && env > 0.0f) {
      const float g = s->mic_power[k] / env;
      gain += (g < gain ? kEchoGainFall : kEchoGainRise) * (g - gain);
    }
    float& left = path.residual_gain_bin[k];
    if (learn && coupled && env > 0.0f) {
      const float g = s->error_power[k] / env;
      left += (g < left ? kEchoGainFall : kEchoGainRise) * (g - left);
    }
    s->expected_residual[k] = left * env;
    const int b = echo_band_of_bin(k);
    far_band[b] += env;
    echo_band[b] += gain * env;
  }
  for (int b = 0; b < 6; ++b) {
    path.echo_gain[b] = far_band[b] > 0.0f ? echo_band[b] / far_band[b] : path.echo_gain[b];
    float floor = path.echo_gain[b];
    if (floor < kResidualFloorMin) floor = kResidualFloorMin;
    if (floor > kResidualFloorMax) floor = kResidualFloorMax;
    if (s->headphone_counter != kHeadphoneMode) s->residual_floors[c][b] = floor;
  }
}

// A channel's noise floor from its power spectrum.
void UpdateNoiseFloor(SerrinState* s, int32_t c, const float* power) {
  float band = 0.0f;
  for (int k = 2; k < kSpectralBins; ++k) band += power[k];
  band_activity_update(power, &s->band_tracker[c], band, &s->spectral_floor[c], &s->floor_sweep[c]);
}

// Every channel in use learns its own floor: the filtered channel from what the filter left
// (the error spectrum), the others (the second microphone's, while it is on) from their own
// spectra, so that the channel vote, the mixing and the other channel's suppression compare
// learnt floors.
void UpdateNoiseFloors(SerrinState* s, int32_t selected, bool mic2_active) {
  UpdateNoiseFloor(s, selected, s->error_power);
  const int32_t channels = mic2_active ? kSerrinChannels : 1;
  float power[kSpectralBins];
  for (int32_t c = 0; c < channels; ++c) {
    if (c == selected) continue;
    for (int k = 0; k < kSpectralBins; ++k) power[k] = Power(s->channel_spectra[c][k]);
    UpdateNoiseFloor(s, c, power);
  }
}

// Step 2: a change of music mode reloads the far-end trackers and floors.
void MusicModeChange(SerrinState* s, SerrinConfig* config, int music) {
  if (music == s->music_mode_seen) return;
  s->music_mode_seen = music;
  AudioLibLog(music ? "LIVE MUSIC MODE ENABLED\n" : "LIVE MUSIC MODE DISABLED\n");
  const float reset = music ? kMusicFarLevelReset : kNormalFarLevelReset;
  for (MinTracker& t : s->far_level) {
    min_tracker_setup(&t, reset, kFarLevelFloor, kFarLevelFloor, 50, 100, 0.25f);
  }
  s->residual_gain_floor[0] = s->residual_gain_floor[1] = music ? 0.05f : 0.005f;
  config->reference_level = music ? 16.0f : 64.0f;
}

// Step 3: energy of the far end after y[n] = x[n] - 0.99 x[n-1] + 0.9 y[n-1].
void FarEndEnergy(SerrinState* s, const int16_t* reference) {
  float x1 = s->far_x1;
  float y1 = s->far_y1;
  float energy = 0.0f;
  for (int n = 0; n < kFrame; ++n) {
    const float x = reference[n];
    const float y = x - 0.99f * x1 + 0.9f * y1;
    energy += y * y;
    x1 = x;
    y1 = y;
  }
  s->far_x1 = x1;
  s->far_y1 = y1;
  s->far_energy = energy;
  min_tracker_update(&s->far_level[0], energy);
  s->far_loud_hold = serrin_far_end_hold(energy, s->far_level[0].smooth_a, s->far_loud_hold);
}

// Step 5: running minimum of the microphone level, published every 50 frames.
void MicNoiseFloor(SerrinState* s, const int16_t* mic, SerrinFrameArgs* args) {
  const float level = MeanAbs(mic);
  if (level < s->mic_minimum) s->mic_minimum = level;
  if (s->frame_counter % 50 == 0) {
    s->mic_floor = s->mic_minimum;
    s->mic_minimum = 32000.0f;
    if (args->mic_floor != nullptr) *args->mic_floor = s->mic_floor;
    s->mic_floor_history[(s->frame_counter % 250) / 50] = s->mic_floor;
  }
  if (s->frame_counter % 250 == 0) {
    const float* h = s->mic_floor_history;
    AudioLibLog("Main Mic Noise Floor hist is  %f  %f  %f  %f  %f .\n", h[1], h[2], h[3], h[4], h[0]);
  }
}

// One second-microphone block: level minimum, clip hold, and its two spectra into the next slot.
void SecondMicBlock(SerrinState* s, const int16_t* block) {
  const float level = MeanAbs(block);
  if (level < s->mic2_minimum) s->mic2_minimum = level;
  bool clipped = false;
  for (int n = 0; n < kFrame; ++n) {
    if (std::abs(static_cast<int>(block[n])) > 25000) clipped = true;
  }
  if (clipped) {
    s->mic2_clip_hold = 3;
  } else if (s->mic2_clip_hold > 0) {
    --s->mic2_clip_hold;
  }
  s->mic2_slot = (s->mic2_slot + 1) % kSecondMicSlots;
  serrin_analysis(block, s->mic2_ring[s->mic2_slot][0], &s->analysis[1]);
  serrin_analysis(block, s->mic2_ring[s->mic2_slot][1], &s->analysis[2]);
}

// While the search runs: the second microphone's delay against the first, as a slot lag.
void SecondMicDelaySearch(SerrinState* s) {
  --s->mic2_delay_search;
  int echo_path = 0;
  float delay = 0.0f;
  delay_estimate_bands(s->channel_spectra[1], s->channel_spectra[0], &s->spectral_delay, &echo_path, &delay);
  if (echo_path) {
    s->mic2_delay = delay;
    int32_t lag = s->mic2_blocks + static_cast<int32_t>(std::lround(delay));
    s->mic2_slot_lag = lag < 0 ? 0 : (lag > kSecondMicSlots - 1 ? kSecondMicSlots - 1 : lag);
  }
}

// Step 7: blocks of the second microphone into the rotating slots; channels 1 and 2.
void SecondMic(SerrinState* s, const int16_t* mic2, int32_t mic2_samples, SerrinFrameArgs* args) {
  const int32_t blocks = (mic2 != nullptr && mic2_samples > 0) ? mic2_samples / kFrame : 0;
  if (blocks > s->mic2_max_blocks) s->mic2_max_blocks = blocks;
  if (s->frame_counter % 100 == 0) {
    aec_debugger_output("serrin: Max frames inputted = %d \n", s->mic2_max_blocks);
    if (s->mic2_blocks == 0 && s->mic2_max_blocks > 0) s->mic2_delay_search = 250;
    s->mic2_blocks = s->mic2_max_blocks;
    s->mic2_slot_lag = s->mic2_blocks;
    s->mic2_max_blocks = 0;
  }
  const int32_t usable = blocks < s->mic2_blocks ? blocks : s->mic2_blocks;
  if (usable <= 0) {
    std::memset(s->channel_spectra[1], 0, sizeof(s->channel_spectra[1]) * 2);
    return;
  }
  for (int32_t b = 0; b < usable; ++b) SecondMicBlock(s, mic2 + b * kFrame);
  if (s->frame_counter % 50 == 0) {
    s->mic2_floor = s->mic2_minimum;
    s->mic2_minimum = 32000.0f;
    if (args->mic2_floor != nullptr) *args->mic2_floor = s->mic2_floor;
  }
  const int32_t from = ((s->mic2_slot - s->mic2_slot_lag) % kSecondMicSlots + kSecondMicSlots) % kSecondMicSlots;
  std::memcpy(s->channel_spectra[1], s->mic2_ring[from][0], sizeof(s->channel_spectra[1]));
  std::memcpy(s->channel_spectra[2], s->mic2_ring[from][1], sizeof(s->channel_spectra[2]));
  if (s->mic2_delay_search > 0) SecondMicDelaySearch(s);
}

// Step 9: the reference through the 8192-sample ring, read back D x 240 samples late.
void DelayReference(SerrinState* s, int16_t* reference) {
  int32_t pos = s->reference_ring_pos;
  for (int n = 0; n < kFrame; ++n) {
    s->reference_ring[pos] = reference[n];
    pos = (pos + 1) % kReferenceRingSamples;
  }
  s->reference_ring_pos = pos;
  int32_t d = s->delay_records[0].voter.delay;
  d = d < 0 ? 0 : (d > 20 ? 20 : d);
  int32_t start = pos - kFrame - 240 * d;
  start = ((start % kReferenceRingSamples) + kReferenceRingSamples) % kReferenceRingSamples;
  for (int n = 0; n < kFrame; ++n) {
    reference[n] = s->reference_ring[(start + n) % kReferenceRingSamples];
  }
}

// The channel's band levels for the crest measure: magnitudes of 37 bands of what the
// filter left.
void WriteBandLevels(const float* power, EchoPathRecord* path) {
  for (int b = 0; b < kCrestBands; ++b) {
    float sum = 0.0f;
    const int first = kCrestBandFirst + b * kCrestBandWidth;
    for (int k = first; k < first + kCrestBandWidth; ++k) sum += power[k];
    path->band_levels[b] = std::sqrt(sum);
  }
}

// Whether more than half of the microphone's energy lies in bins that the far end's
// envelope cannot explain (more than the largest believable echo gain over it).
bool MostlyUncoupled(const SerrinState* s) {
  float total = 0.0f, unexplained = 0.0f;
  for (int k = 2; k < kSpectralBins; ++k) {
    total += s->mic_power[k];
    if (s->mic_power[k] >= kMaxEchoGain * s->far_envelope[k]) unexplained += s->mic_power[k];
  }
  return unexplained > 0.5f * total;
}

// Channel selection, the adaptive filter, the ERLE bookkeeping and the echo-path
// values that the suppression reads.
// The channel the filter runs on (channel 0 without the second microphone) and the other one.
int32_t SelectChannel(SerrinState* s, const SerrinConfig* config, bool mic2_active) {
  int32_t selected = 0;
  int32_t other = -1;
  if (mic2_active) {
    if (config->forced_channel_switch != 0 && config->forced_channel >= 0 && config->forced_channel < kSerrinChannels) {
      selected = config->forced_channel;
    } else if (s->features.channel_select != 0) {
      s->channel_vote.channels = kSerrinChannels;
      const float* floors[kSerrinChannels] = {s->spectral_floor[0].floor, s->spectral_floor[1].floor,
                                              s->spectral_floor[2].floor};
      selected = dominant_channel_select(s->channel_spectra, floors, &s->channel_vote);
      if (selected < 0 || selected >= kSerrinChannels) selected = 0;
    }
    if (config->channel_lock == 0) other = selected == 0 ? 1 : 0;
  }
  s->selected_channel = selected;
  s->other_channel = other;
  return selected;
}

// Band coupling of the microphone with the far end, while the far end is loud.
void CouplingUpdate(SerrinState* s, EchoPathRecord* path) {
  float mic_bands[kCouplingBands] = {};
  float ref_bands[1][kCouplingBands] = {};
  float ref_floors[1][kCouplingBands] = {};
  float ref_energies[1][kCouplingBands] = {};
  for (int b = 0; b < kCouplingBands; ++b) {
    for (int k = kBandFirst[b]; k <= kBandLast[b]; ++k) {
      mic_bands[b] += s->mic_power[k];
      ref_bands[0][b] += s->reference_power[k];
      ref_floors[0][b] += s->spectral_floor[kSerrinChannels].floor[k];
    }
    ref_energies[0][b] = ref_bands[0][b];
  }
  const int active[1] = {0};
  coupling_update(mic_bands, ref_bands, active, 1, ref_floors, ref_energies, &path->coupling);
}

// The echo-return ratio r = M / (E + 0.001) of the microphone energy M and the error energy
// E, the hold counter and the ERLE bookkeeping.
void EchoReturnRatio(SerrinState* s, SerrinConfig* config, float m, float e) {
  float r = m / (e + 0.001f);
  if (r < 0.707f) r = 0.707f;
  s->echo_ratio = r;
  // The hold counter rises with frames of loud far end whose echo the learnt gains explain,
  // or whose microphone lies mostly where the far end cannot have put it (two unrelated
  // periodic signals give the delay estimator's echo hint without any echo); until it has
  // risen the hint forces full suppression.
  const bool explained = s->echo_mode == kEchoModeEchoOnly && s->residual.residual_flag == 0;
  if (s->far_loud_hold == kLoudHold && s->hold_counter < kHoldCounterMax && (explained || MostlyUncoupled(s))) {
    ++s->hold_counter;
  }
  if (r > config->erle_ratio_max) config->erle_ratio_max = r;
  if (++s->erle_check_counter > 150) serrin_erle_check(s);
}

void AdaptiveFilter(SerrinState* s, SerrinConfig* config, bool mic2_active) {
  const int32_t selected = SelectChannel(s, config, mic2_active);
  SerrinComplex* spectrum = s->channel_spectra[selected];
  EchoPathRecord& path = s->echo_path[selected];
  for (int k = 0; k < kSpectralBins; ++k) s->mic_power[k] = Power(spectrum[k]);
  if (s->features.adaptive_filter == 0) {
    std::memcpy(s->error_power, s->mic_power, sizeof(s->error_power));
    std::memset(s->filter.echo_power[selected], 0, sizeof(s->filter.echo_power[selected]));
    s->echo_ratio = 1.0f;
    WriteBandLevels(s->error_power, &path);
    return;
  }
  const float m = EnergyOfBins(spectrum, 20, 119);
  s->mic_peak = m > s->mic_peak ? m : 0.95f * s->mic_peak;
  // The adaptation gate compares the far end with the near end's noise floor.
  const float* near_floor = s->spectral_floor[selected].floor;
  for (int k = 0; k < kSpectralBins; ++k) path.near_level[k] = kNearLevelScale * near_floor[k];
  clock_drift_estimate(spectrum, s->reference_spectrum, near_floor, selected, s->echo_mode, s->filter.settle,
                       &s->filter);
  echo_filter_step(selected, selected, 1, s->residual_floors[selected], &path, s->echo_mode, kEchoFilterBins, spectrum,
                   s->reference_spectrum, &s->filter);
  for (int k = 0; k < kSpectralBins; ++k) s->error_power[k] = Power(spectrum[k]);
  EchoReturnRatio(s, config, m, EnergyOfBins(spectrum, 20, 119));

  float echo = 0.0f;
  for (int k = 20; k <= 119; ++k) echo += s->filter.echo_power[selected][k];
  path.echo_path_sum = echo;
  WriteBandLevels(s->error_power, &path);
  UpdateEchoGains(s, selected);
  UpdateNoiseFloors(s, selected, mic2_active);

  if (s->far_loud_hold == kLoudHold) CouplingUpdate(s, &path);
}

// Echo mode of the frame and the echo measure: 3 while the residual-echo measure finds
// more in the channel (after the filter) than the residual echo and noise expected there,
// 2 with echo only, 1 without a loud far end; the delay estimator's echo hint forces 2
// until the hold counter has risen.
void EchoMode(SerrinState* s) {
  const int32_t sel = s->selected_channel;
  const float* floor = s->spectral_floor[sel].floor;
  for (int k = 0; k < kSpectralBins; ++k) {
    s->expected_power[k] = (s->expected_residual[k] + floor[k]) * (kDoubleTalkMargin / 8.0f);
  }
  static const float kWeights[6] = {kResidualBandWeight, kResidualBandWeight, kResidualBandWeight,
                                    kResidualBandWeight, kResidualBandWeight, kResidualBandWeight};
  residual_echo_measure(s->error_power, s->expected_residual, s->expected_power, kWeights, &s->residual);
  int32_t mode = s->residual.residual_flag != 0 ? kEchoModeNearEnd : kEchoModeEchoOnly;
  if (s->far_loud_hold == 0) mode = kEchoModeNoFarEnd;
  if (s->hold_counter < 20 && s->headphone_counter < kHeadphoneMode && s->echo_hint) mode = kEchoModeEchoOnly;
  s->echo_mode = mode;
  if (mode == kEchoModeEchoOnly) {
    s->echo_measure = 0.99f * s->echo_measure + 0.01f * 10.0f * std::log10(s->echo_ratio);
    if (s->echo_measure > 3.0f) s->headphone_counter = 0;
  }
}

// Step 13: headphone detection.
void Headphone(SerrinState* s, SerrinConfig* config) {
  const int32_t sel = s->selected_channel;
  s->far_peak = s->far_energy > s->far_peak ? s->far_energy : 0.95f * s->far_peak;
  if (!s->echo_hint) {
    if (s->echo_mode == kEchoModeEchoOnly && s->far_peak > 1000000.0f && s->echo_measure < 1.0f &&
        s->mic_peak - 10.0f * s->echo_path[sel].echo_path_sum < 0.1f * s->far_peak &&
        s->headphone_counter < kHeadphoneMode) {
      ++s->headphone_counter;
    }
  } else if (s->headphone_counter < kHeadphoneMode) {
    s->headphone_counter = 0;
  } else {
    if (s->headphone_escalation < 10) ++s->headphone_escalation;
    s->headphone_counter -= 5 * s->headphone_escalation;
    AudioLibLog("WARNING, detect echo when in headphone mode, count %d! \n", s->headphone_escalation);
  }
  if (s->headphone_counter == kHeadphoneMode) {
    if (s->echo_flag) {
      config->reference_level = 8.0f;
    } else {
      config->reference_level = 0.0f;
      for (float& f : s->residual_floors[sel]) f = 0.01f;
    }
  }
}

constexpr int kStrengthTypeNoCeiling = 5;  // outside the suppression's table of ceilings

// Strength type of the suppression for the frame's echo mode: full suppression with
// echo only (the mode itself zeroes every bin), a light ceiling in double talk, none
// without far end. Without a double-talk result the mode's own ceiling applies.
int StrengthType(int32_t mode, int32_t double_talk) {
  if (!double_talk) return mode;
  if (mode == kEchoModeNoFarEnd) return kStrengthTypeNoCeiling;
  if (mode == kEchoModeNearEnd) return kStrengthTypeNoCeiling;
  return mode;
}

// Residual echo, band clearing and the suppression gain of one channel.
void SuppressChannel(SerrinState* s, SerrinConfig* config, int32_t c, bool music, int32_t double_talk,
                     int32_t noise_suppression) {
  SerrinComplex* spectrum = s->channel_spectra[c];
  static const float kBandThresholds[6] = {kEchoPeakThreshold, kEchoPeakThreshold, kEchoPeakThreshold,
                                           kEchoPeakThreshold, kEchoPeakThreshold, kEchoPeakThreshold};
  static const float kBandFactors[6] = {kEchoPeakFactor, kEchoPeakFactor, kEchoPeakFactor,
                                        kEchoPeakFactor, kEchoPeakFactor, kEchoPeakFactor};
  const float* echo = s->filter.echo_power[c];
  const float* floor = s->spectral_floor[c].floor;
  echo_peak_follow(echo, s->echo_peaks[c], s->echo_gated[c], s->echo_mode, kBandThresholds, kBandFactors,
                   s->unity_gains, &s->echo_activity[c]);
  for (int k = 0; k < kSpectralBins; ++k) s->residual_power[k] = Power(spectrum[k]);
  echo_activity_update(s->residual_power, floor, s->unity_gains, s->echo_mode, s->residual_out[c],
                       &s->echo_activity[c]);
  s->suppressor[c].strength = 0.1f * config->strength;
  s->suppressor[c].frame_constant = 0.01f;
  s->suppressor[c].suppress = noise_suppression != 0 ? 1 : 0;
  if (!music) {
    int first = 480;
    if (s->residual_floors[c][4] > 4.0f) {
      float high = 0.0f;
      for (int k = 200; k <= 279; ++k) high += s->reference_spectrum[k].re * s->reference_spectrum[k].re;
      if (2.0f * high > 10000000.0f) first = 200;
    }
    for (int k = first; k < kSpectralBins; ++k) spectrum[k] = {0.0f, 0.0f};
  }
  if (s->features.suppression != 0) {
    // Ratio of what is left to what is expected of noise and residual echo.
    for (int k = 0; k < kSpectralBins; ++k) {
      s->ratios[k] = Power(spectrum[k]) / (floor[k] + kResidualEchoFraction * echo[k] + 1.0f);
    }
    s->ratios[kSpectralBins] = s->echo_activity[c].echo_active ? 1.0f : 0.0f;
    for (int k = 0; k < kSpectralBins; ++k) s->noise_magnitudes[k] = std::sqrt(floor[k]);
    apply_suppression_gain(spectrum, s->ratios, s->noise_magnitudes, 1.0f, s->echo_mode,
                           StrengthType(s->echo_mode, double_talk), kEchoFilterBins, &s->suppressor[c], s->loud_flag);
  }
}

// Step 15: crest and residual level of the selected channel.
void AutoMute(SerrinState* s) {
  if (s->frame_counter % 50 == 0 && aec_settings_is_open()) {
    uint32_t value = 0;
    if (aec_settings_read_dword("AutoMuteSNR", &value) && static_cast<float>(value) != s->auto_mute_threshold) {
      s->auto_mute_threshold = static_cast<float>(value);
    }
  }
  const float* levels = s->echo_path[s->selected_channel].band_levels;
  float peak = 0.0f;
  float sum = 0.0f;
  for (int i = 0; i < 37; ++i) {
    if (levels[i] > peak) peak = levels[i];
    sum += levels[i];
  }
  const float mean = sum / 37.0f;
  const float crest = (peak > 0.0f && mean > 0.0f) ? 10.0f * std::log(peak / mean) : 0.0f;
  s->crest_value = 0.15f * crest + 0.85f * s->crest_value;
  s->residual_level = 0.1f * s->echo_activity[s->selected_channel].frame_level + 0.9f * s->residual_level;
  s->loud_flag = (s->crest_value > 30.0f || s->residual_level > 8000.0f) ? 1 : 0;
}

// Noise suppression: the processed frame is synthesised into the output and runs, in two
// 10 ms halves, through the 8 kHz detector chain, whose switchable frame delay sits in the
// output path; the comfort-noise frame at the suppression's level is the frame it switches
// to after a run of transients. The unit-level comfort noise follows through its own bank.
void NoiseSuppressionChain(SerrinState* s, SerrinComplex* out_spectrum) {
  const int32_t sel = s->selected_channel;
  for (int k = 0; k < kSpectralBins; ++k) {
    s->noise_magnitudes[k] = std::sqrt(s->spectral_floor[sel].floor[k]);
  }
  comfort_noise_fill(s->noise_magnitudes, 1.0f, s->noise_spectrum, &s->suppressor[sel], s->loud_flag);
  serrin_synthesis(s->noise_spectrum, s->noise_frame, &s->synthesis[1]);
  serrin_synthesis(out_spectrum, s->output, &s->synthesis[0]);
  detector8k_process(s->output, s->noise_frame, s->detector_switch_init, s->detector_switch_frame, &s->detector);
  detector8k_process(s->output + kFrame / 2, s->noise_frame + kFrame / 2, s->detector_switch_init,
                     s->detector_switch_frame, &s->detector);
  comfort_noise_fill_unit(s->noise_magnitudes, s->noise_spectrum, &s->suppressor[sel]);
  serrin_synthesis(s->noise_spectrum, s->unit_noise_frame, &s->synthesis[2]);
}

// Step 4: the type-1 channel's inputs (silence without one), and the per-frame switches.
struct FrameInputs {
  const int16_t* mic;
  const int16_t* mic2;
  int32_t mic2_samples;
};

FrameInputs TakeChannelInputs(SerrinState* s, const SerrinConfig* config, SerrinChannel* const* channels, int music) {
  const SerrinChannel* channel = FindMicChannel(channels);
  FrameInputs in;
  in.mic = (channel != nullptr && channel->mic != nullptr) ? channel->mic : kSilence;
  in.mic2 = channel != nullptr ? channel->mic2 : nullptr;
  in.mic2_samples = channel != nullptr ? channel->mic2_samples : 0;
  s->core_switch_a = 1;
  s->core_switch_b = 1;
  s->detector_switch_frame = (channel != nullptr && !music) ? 1 : 0;
  s->reference_level = config->reference_level;
  s->per_frame_constant = config->per_frame_constant;
  return in;
}

// Step 8: voice frames are counted; the microphone's bins of D / 4 frames earlier for the voter.
const SerrinComplex* CountVoiceAndDelayBins(SerrinState* s, int32_t voice) {
  if (voice) ++s->voice_frames;
  if (s->frame_counter % 250 == 0) s->voice_frames = 0;
  return spectral_delay_ring_step(s->channel_spectra[0], s->delay_records[0].voter.delay, &s->delay_records[0].ring);
}

// Step 9: the delayed reference, the echo hint and the reference's analysis.
void ReferenceStage(SerrinState* s, int16_t* reference, const int16_t* mic) {
  DelayReference(s, reference);
  s->echo_hint = delay_estimate_pcm(reference, mic, &s->pcm_delay[0]) & 1;
  serrin_analysis(reference, s->reference_spectrum, &s->analysis[3]);
}

// Step 10: far-end power and floor (paused for a few frames after the reference delay
// moved), and the frame delay voter.
void FarEndPowerAndVoter(SerrinState* s, const SerrinComplex* delayed_bins) {
  if (kScaleLoudReference && s->echo_path[s->selected_channel].echo_path_sum > kLoudEchoPathSum) {
    for (SerrinComplex& c : s->reference_spectrum) {
      c.re *= 10.0f;
      c.im *= 10.0f;
    }
  }
  const int32_t voter_delay = s->delay_records[0].voter.delay;
  if (voter_delay != s->voter_delay_seen) {
    // The reference moved against the echo: the learnt echo gains start over.
    s->voter_delay_seen = voter_delay;
    s->reference_countdown = kReferenceSettleFrames;
    for (EchoPathRecord& path : s->echo_path) echo_gains_reset(&path);
  }
  if (s->reference_countdown > 0) {
    --s->reference_countdown;
  } else {
    float far_band = 0.0f;
    for (int k = 0; k < kSpectralBins; ++k) {
      s->reference_power[k] = Power(s->reference_spectrum[k]);
      if (k >= 2) far_band += s->reference_power[k];
    }
    band_activity_update(s->reference_power, &s->band_tracker[kSerrinChannels], far_band,
                         &s->spectral_floor[kSerrinChannels], &s->floor_sweep[kSerrinChannels]);
  }
  frame_delay_vote(delayed_bins, s->reference_spectrum, &s->delay_records[0].voter);
}

// Step 14: residual echo and suppression of the selected (and the other) channel, then the
// second-microphone mixing.
void ResidualEcho(SerrinState* s, SerrinConfig* config, const SerrinFrameArgs* args, int music, bool mic2_active) {
  const int32_t two_mic_countdown =
      mag_threshold_update(s->channel_spectra[0], s->channel_spectra[1], s->mic2_delay, args->voice, &s->two_mic);
  int32_t double_talk = two_mic_countdown;
  if (args->second_mic_on == 0 && s->headphone_counter != kHeadphoneMode) double_talk = 1;
  SuppressChannel(s, config, s->selected_channel, music != 0, double_talk, args->noise_suppression);
  if (s->other_channel >= 0) {
    SuppressChannel(s, config, s->other_channel, music != 0, double_talk, args->noise_suppression);
  }
  mix_countdowns_update(s->selected_channel, mic2_active ? 1 : 0, two_mic_countdown, &s->mix);
  const float* floors[kSerrinChannels] = {s->spectral_floor[0].floor, s->spectral_floor[1].floor,
                                          s->spectral_floor[2].floor};
  second_mic_mix(s->channel_spectra, floors, &s->mix);
}

// Step 17: echo after the canceller, counted in modes 2 and 3. The estimator follows the
// output in every frame: started at the far end's first onset, its followers of the output
// and of the far end would rise from zero together and report echo on a silent microphone.
void EchoAfterCanceller(SerrinState* s, const int16_t* reference) {
  const int found = delay_estimate_pcm(reference, s->last_output, &s->pcm_delay[1]) & 1;
  if (s->echo_mode == kEchoModeEchoOnly || s->echo_mode == kEchoModeNearEnd) serrin_echo_after_canceller(s, found);
}

// Step 18: the output gain from the level, synthesis (unless the chain did it) and the
// clip-safe gain. The level counts as activity while the near end may talk (no echo-only
// frame).
void OutputGain(SerrinState* s, SerrinComplex* out_spectrum, float level, bool synthesised) {
  const float activity = s->echo_mode == kEchoModeEchoOnly ? 0.0f : level;
  float gain = agc_gain_update(&s->agc, 0, level, activity, 0);
  if (s->echo_flag && gain > kEchoFlagGainCap) gain = kEchoFlagGainCap;
  // While the far end plays the gain does not raise: it would lift what the canceller left
  // of the echo (a full-duplex tone loop came back 14.6 dB below the tone in 2 of 4 runs).
  if (s->far_loud_hold > 0 && gain > 1.0f) gain = 1.0f;
  gain *= s->gain_step_factor;
  s->agc_gain = gain;
  if (!synthesised) serrin_synthesis(out_spectrum, s->output, &s->synthesis[0]);
  serrin_apply_output_gain(s, s->output, gain);
}

// Step 19: the output frame, the final detector's hold and the caller's flags.
void WriteOutput(SerrinState* s, const int16_t* mic, SerrinFrameArgs* args) {
  if (args->output != nullptr) std::memcpy(args->output, s->output, sizeof(s->output));
  std::memcpy(s->last_output, s->output, sizeof(s->output));
  if (residual_crest_detect(mic, &s->crest) == 1) {
    s->crest_hold = 50;
  } else if (s->crest_hold > 0) {
    --s->crest_hold;
  }
  if (args->echo_hold != nullptr) *args->echo_hold = s->crest_hold > 0 ? 1 : 0;
  if (args->mode3 != nullptr) *args->mode3 = s->echo_mode == kEchoModeNearEnd ? 1 : 0;
}

}  // namespace

int32_t serrin_far_end_hold(float energy, float level, int32_t hold) {
  if (energy > 20.0f * level && energy > 96000.0f) return kLoudHold;
  return hold > 0 ? hold - 1 : 0;
}

void serrin_erle_check(SerrinState* s) {
  SerrinConfig* config = serrin_config();
  s->erle_check_counter = 0;
  const float ratio = config->erle_ratio_max;
  const float erle = ratio > 0.0f ? 10.0f * std::log10(ratio) : 0.0f;
  s->filter.erle_db = erle;
  if (erle <= 10.0f) {
    ++s->low_erle_count;
    if (s->low_erle_count > 60) config->reference_level = 64.0f;
    s->hold_counter = s->hold_counter > 10 ? s->hold_counter - 10 : 0;
  } else {
    s->low_erle_count = 0;
    config->reference_level = 32.0f;
  }
  config->erle_ratio_max = 0.0f;
}

void serrin_echo_after_canceller(SerrinState* s, int found) {
  if (found) {
    AudioLibLog("%d echo after AEC\n", s->frame_counter);
    ++s->echo_count_short;
    ++s->echo_count_long;
  }
  ++s->mode23_frames;
  if (s->mode23_frames % 150 == 0) {
    if (s->echo_count_short >= 3) {
      s->echo_flag = 1;
      AudioLibLog("HEADPHONE ECHO!!!");
    }
    s->echo_count_short = 0;
  }
  if (s->mode23_frames % 1500 == 0) {
    if (s->echo_count_long == 0) s->echo_flag = 0;
    s->echo_count_long = 0;
  }
}

void serrin_apply_output_gain(SerrinState* s, int16_t* samples, float gain) {
  float previous = s->applied_gain;
  for (int start = 0; start < kFrame; start += kGainBlock) {
    int16_t* block = samples + start;
    float peak = 0.0f;
    for (int i = 0; i < kGainBlock; ++i) {
      const float a = std::fabs(static_cast<float>(block[i]));
      if (a > peak) peak = a;
    }
    if (peak * gain > kClipLevel) {
      const float reduced = gain * kClipLevel / peak;
      AudioLibLog("clipped happened , change gain from %f to %f.\n", gain, reduced);
      gain = reduced;
      s->agc_gain = gain;
    }
    const float step = (gain - previous) / kGainBlock;
    for (int i = 0; i < kGainBlock; ++i) {
      float v = block[i] * (previous + i * step);
      if (v > kOutputLimit) v = kOutputLimit;
      if (v < -kOutputLimit) v = -kOutputLimit;
      block[i] = static_cast<int16_t>(v);
    }
    previous = gain;
  }
  s->applied_gain = gain;
}

void serrin_process(SerrinState* s, SerrinChannel* const* channels, SerrinFrameArgs* args) {
  if (s == nullptr || args == nullptr || args->reference == nullptr) return;
  SerrinConfig* config = serrin_config();
  ++s->frame_counter;
  const int music = config->music_mode.load(std::memory_order_relaxed) != 0 ? 1 : 0;
  MusicModeChange(s, config, music);
  FarEndEnergy(s, args->reference);
  const FrameInputs in = TakeChannelInputs(s, config, channels, music);
  MicNoiseFloor(s, in.mic, args);
  serrin_analysis(in.mic, s->channel_spectra[0], &s->analysis[0]);
  SecondMic(s, in.mic2, in.mic2_samples, args);
  const bool mic2_active = s->mic2_blocks > 0 && in.mic2 != nullptr && in.mic2_samples >= kFrame;
  const SerrinComplex* delayed_bins = CountVoiceAndDelayBins(s, args->voice);
  ReferenceStage(s, args->reference, in.mic);
  FarEndPowerAndVoter(s, delayed_bins);
  AdaptiveFilter(s, config, mic2_active);
  EchoMode(s);
  Headphone(s, config);
  ResidualEcho(s, config, args, music, mic2_active);
  if (!music && s->auto_mute_switch) {
    AutoMute(s);
  } else {
    s->loud_flag = 0;
  }
  // The output level is taken before the spectrum is synthesised; the noise-suppression
  // chain synthesises the output itself.
  SerrinComplex* out_spectrum = s->channel_spectra[s->selected_channel];
  const float level = 0.01f * std::sqrt(EnergyOfBins(out_spectrum, 10, 79));
  const bool chain = args->noise_suppression != 0 && !music;
  if (chain) NoiseSuppressionChain(s, out_spectrum);
  EchoAfterCanceller(s, args->reference);
  OutputGain(s, out_spectrum, level, chain);
  WriteOutput(s, in.mic, args);
}
