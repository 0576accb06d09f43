#include "serrin_state.h"

#include <cmath>
#include <cstring>

#include "echo_mode.h"
#include "serrin_config.h"

namespace {
constexpr float kFarLevelReset = 96000000.0f;
constexpr float kFarLevelFloor = 96000.0f;
}  // namespace

namespace {

// Step 2: spectra, rings and followers start empty.
void ClearBuffers(SerrinState* s) {
  std::memset(s->channel_spectra, 0, sizeof(s->channel_spectra));
  std::memset(s->mic2_ring, 0, sizeof(s->mic2_ring));
  std::memset(s->reference_spectrum, 0, sizeof(s->reference_spectrum));
  std::memset(s->noise_spectrum, 0, sizeof(s->noise_spectrum));
  std::memset(s->reference_power, 0, sizeof(s->reference_power));
  std::memset(s->mic_power, 0, sizeof(s->mic_power));
  std::memset(s->error_power, 0, sizeof(s->error_power));
  std::memset(s->noise_magnitudes, 0, sizeof(s->noise_magnitudes));
  std::memset(s->ratios, 0, sizeof(s->ratios));
  std::memset(s->echo_peaks, 0, sizeof(s->echo_peaks));
  std::memset(s->echo_gated, 0, sizeof(s->echo_gated));
  std::memset(s->residual_out, 0, sizeof(s->residual_out));
  std::memset(s->reference_ring, 0, sizeof(s->reference_ring));
  s->reference_ring_pos = 0;
  std::memset(s->noise_frame, 0, sizeof(s->noise_frame));
  std::memset(s->unit_noise_frame, 0, sizeof(s->unit_noise_frame));
  std::memset(s->output, 0, sizeof(s->output));
  std::memset(s->last_output, 0, sizeof(s->last_output));
}

// Step 3: the analysis and synthesis banks and the adaptive filter.
void InitBanksAndFilter(SerrinState* s) {
  for (AnalysisBank& b : s->analysis) serrin_analysis_init(&b);
  for (SynthesisBank& b : s->synthesis) serrin_synthesis_init(&b);
  echo_filter_init(&s->filter);
}

// Step 4: band tracker, spectral floor and residual-echo record of each channel and the far end.
void InitChannelTrackers(SerrinState* s) {
  for (int c = 0; c <= kSerrinChannels; ++c) {
    min_tracker_setup(&s->band_tracker[c], 2000000000000.0f, 1000.0f, 1000.0f, 50, 100, 0.25f);
    spectral_floor_init(&s->spectral_floor[c]);
    ResidualEchoRecord& r = s->residual_echo[c];
    for (int k = 0; k < kSpectralBins; ++k) {
      r.minima[k] = 1000000.0f;
      r.levels[k] = 0.0f;
    }
    r.mode = 2;
    r.reserved[0] = r.reserved[1] = 0;
  }
}

// Step 5: the two far-end level trackers at their normal reset values.
void InitFarLevelTrackers(SerrinState* s) {
  for (MinTracker& t : s->far_level) {
    min_tracker_setup(&t, kFarLevelReset, kFarLevelFloor, kFarLevelFloor, 50, 100, 0.25f);
  }
}

// Step 6: the kernels' records, the residual floors and the auxiliary block.
void InitKernels(SerrinState* s, AuxBlock* old_aux) {
  // Channels 1 and 2 are the second microphone's.
  for (int c = 0; c <= kSerrinChannels; ++c) echo_path_record_init(&s->echo_path[c], c == 1 || c == 2);
  residual_state_init(&s->residual);
  for (FloorSweep& f : s->floor_sweep) floor_sweep_init(&f);
  for (DelayRecord& r : s->delay_records) delay_record_init(&r);
  detector_chain_init(&s->detector);
  s->detector_switch_init = 1;
  s->detector_switch_frame = 0;
  while (band_trackers_init(&s->band_trackers) == 0) {
  }
  two_mic_state_init(&s->two_mic);
  channel_vote_init(&s->channel_vote, 1);
  s->mix = MixRecord{0, 0, 0, 0};
  delay_estimator_init(&s->spectral_delay);
  for (SuppressorState& x : s->suppressor) suppressor_init(&x);
  for (EchoActivity& a : s->echo_activity) echo_activity_init(&a);
  agc_init(&s->agc);
  crest_detector_init(&s->crest);
  for (auto& floors : s->residual_floors) {
    for (float& f : floors) f = 0.01f;
  }
  s->residual_gain_floor[0] = s->residual_gain_floor[1] = 0.005f;

  if (old_aux != nullptr) serrin_free_aux(old_aux);
  s->aux = serrin_alloc_aux();
}

// Step 7: 0 dB output gain, frame counter, the compensation table and the unity gains.
void InitOutputGainAndTables(SerrinState* s) {
  serrin_set_output_gain_db(s, 0);
  s->frame_counter = 0;
  const double pi = 3.14159265358979323846;
  for (int i = 0; i < kSpectralBins; ++i) {
    const double w = 2.0 * pi * 25.0 * i / 48000.0;
    const double sw = std::sin(w);
    const double cw = 1.0 - 0.9 * std::cos(w);
    s->compensation[i] = static_cast<float>(1.0 / (sw * sw + cw * cw));
    s->unity_gains[i] = 1.0f;
  }
}

// Step 10: AGC and applied gain, auto-mute, echo count and flag.
void InitGainAndAutoMute(SerrinState* s) {
  s->agc_gain = 1.0f;
  s->auto_mute_switch = 1;
  s->auto_mute_threshold = 32.0f;
  s->crest_value = 0.0f;
  s->loud_flag = 0;
  s->applied_gain = 1.0f;
  s->echo_count_short = 0;
  s->echo_count_long = 0;
  s->echo_flag = 0;
}

// The remaining per-frame values of the processing.
void ResetFrameValues(SerrinState* s, const SerrinConfig* config) {
  s->hold_counter = 0;
  s->music_mode_seen = 0;
  s->reference_level = config->reference_level;
  s->per_frame_constant = config->per_frame_constant;
  s->far_x1 = s->far_y1 = 0.0f;
  s->far_energy = 0.0f;
  s->far_loud_hold = 0;
  s->far_peak = 0.0f;
  s->mic_minimum = 32000.0f;
  s->mic_floor = 0.0f;
  std::memset(s->mic_floor_history, 0, sizeof(s->mic_floor_history));
  s->mic2_max_blocks = 0;
  s->mic2_blocks = 0;
  s->mic2_minimum = 32000.0f;
  s->mic2_floor = 0.0f;
  s->mic2_clip_hold = 0;
  s->mic2_slot = 0;
  s->mic2_slot_lag = 0;
  s->mic2_delay_search = 0;
  s->mic2_delay = 0.0f;
  s->voice_frames = 0;
  s->echo_mode = kEchoModeNoFarEnd;
  s->echo_ratio = 1.0f;
  s->echo_measure = 0.0f;
  s->mic_peak = 0.0f;
  s->erle_check_counter = 0;
  s->low_erle_count = 0;
  s->selected_channel = 0;
  s->other_channel = -1;
  s->headphone_counter = 0;
  s->headphone_escalation = 0;
  s->echo_hint = 0;
  s->mode23_frames = 0;
  s->crest_hold = 0;
  s->residual_level = 0.0f;
}

}  // namespace

void serrin_init(SerrinState* s) {
  AuxBlock* old_aux = s->aux;
  serrin_default_features(&s->features);
  s->core_switch_a = 3;
  s->core_switch_b = 2;
  ClearBuffers(s);
  InitBanksAndFilter(s);
  InitChannelTrackers(s);
  InitFarLevelTrackers(s);
  InitKernels(s, old_aux);
  InitOutputGainAndTables(s);
  SerrinConfig* config = serrin_config();
  serrin_config_reset(config);
  serrin_reset_band_state(&s->pcm_delay[0]);
  serrin_reset_band_state(&s->pcm_delay[1]);
  InitGainAndAutoMute(s);
  ResetFrameValues(s, config);
}

void serrin_release(SerrinState* s) {
  if (s->aux != nullptr) {
    serrin_free_aux(s->aux);
    s->aux = nullptr;
  }
}

void serrin_set_output_gain_db(SerrinState* s, int32_t db) {
  s->gain_step_index = gain_step_index_at_least(db);
  s->gain_step_factor = kGainStepTable[s->gain_step_index].factor;
}
