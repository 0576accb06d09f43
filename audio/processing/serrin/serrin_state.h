// Working state of the serrin core: the kernels' records, the banks, the spectra and the
// values that the per-frame processing carries from frame to frame.
#pragma once

#include <cstdint>

#include "adaptive_echo_filter.h"
#include "band_coupling.h"
#include "detector_chain.h"
#include "echo_delay_estimator.h"
#include "filter_bank.h"
#include "min_statistics.h"
#include "residual_crest.h"
#include "serrin_aux_block.h"
#include "serrin_features.h"
#include "serrin_fft.h"
#include "suppression_gain.h"

constexpr int kSerrinChannels = 3;  // microphone, second microphone (two spectra)
constexpr int kSerrinFrame = 960;
constexpr int kReferenceRingSamples = 8192;
constexpr int kSecondMicSlots = 8;

// Large (about 0.6 MB): allocate it on the heap. Banks hold pointers into themselves, so
// a state is never copied or moved after serrin_init.
struct SerrinState {
  SerrinFeatures features;
  int32_t core_switch_a;  // 3 after init; set to 1 by the wrapper and every frame
  int32_t core_switch_b;  // 2 after init; likewise
  AuxBlock* aux;          // owned; released by serrin_release

  // Banks: analysis 0 microphone, 1 and 2 second microphone, 3 reference;
  // synthesis 0 output, 1 comfort noise, 2 unit comfort noise.
  AnalysisBank analysis[5];
  SynthesisBank synthesis[5];

  // Kernel records.
  EchoFilterState filter;
  DelayRecord delay_records[3];
  EchoPathRecord echo_path[kSerrinChannels + 1];  // last: far end
  MinTracker band_tracker[kSerrinChannels + 1];
  SpectralFloor spectral_floor[kSerrinChannels + 1];
  FloorSweep floor_sweep[5];
  ResidualEchoRecord residual_echo[kSerrinChannels + 1];
  MinTracker far_level[2];
  BandTrackers band_trackers;
  ResidualState residual;  // on what the filter left
  TwoMicState two_mic;
  ChannelVote channel_vote;
  MixRecord mix;
  DelayEstimatorState spectral_delay;
  BandTrackState pcm_delay[2];  // 0: echo hint of the reference, 1: echo after the canceller
  SuppressorState suppressor[kSerrinChannels];
  EchoActivity echo_activity[kSerrinChannels];
  AgcState agc;
  DetectorChain detector;
  CrestDetector crest;
  float residual_floors[kSerrinChannels][6];  // at least 0.01
  float residual_gain_floor[2];               // 0.005, 0.05 in music mode

  // Core values.
  int32_t hold_counter;  // rises with converged ERLE checks (see serrin_process)
  int32_t frame_counter;
  int32_t music_mode_seen;
  float reference_level;     // copied from the settings every frame
  float per_frame_constant;  // likewise
  int32_t gain_step_index;   // output gain step (row of kGainStepTable)
  float gain_step_factor;
  float agc_gain;                 // the gain the audio core reports
  float applied_gain;             // gain at the end of the last output block
  int32_t detector_switch_init;   // 8 kHz chain: set by init
  int32_t detector_switch_frame;  // 8 kHz chain: set per frame

  // Far end.
  float far_x1;  // pre-emphasis memory of the energy filter
  float far_y1;
  float far_energy;
  int32_t far_loud_hold;  // 17 after a loud far-end frame, counts down
  float far_peak;         // peak follower of the far-end energy

  // Microphone floors.
  float mic_minimum;
  float mic_floor;
  float mic_floor_history[5];
  int32_t mic2_max_blocks;
  int32_t mic2_blocks;  // whole blocks in use
  float mic2_minimum;
  float mic2_floor;
  int32_t mic2_clip_hold;
  int32_t mic2_slot;
  int32_t mic2_slot_lag;
  int32_t mic2_delay_search;
  float mic2_delay;
  int32_t voice_frames;

  // Echo decisions.
  int32_t echo_mode;  // 1, 2 or 3
  float echo_ratio;   // microphone / error energy of the frame
  float echo_measure;
  float mic_peak;
  int32_t erle_check_counter;
  int32_t low_erle_count;
  int32_t selected_channel;
  int32_t other_channel;      // -1 when none
  int32_t headphone_counter;  // 50: headphone mode
  int32_t headphone_escalation;
  int32_t echo_hint;
  int32_t mode23_frames;
  int32_t reference_countdown;  // frames the far-end floor waits after a delay change
  int32_t voter_delay_seen;
  int32_t echo_count_short;  // echo-after-canceller detections, 150-frame period
  int32_t echo_count_long;   // likewise, 1500-frame period
  int32_t echo_flag;
  int32_t crest_hold;

  // Auto-mute.
  int32_t auto_mute_switch;
  float auto_mute_threshold;
  float crest_value;
  float residual_level;
  int32_t loud_flag;

  // Spectra and frames.
  SerrinComplex channel_spectra[kSerrinChannels][kSpectralBins];
  SerrinComplex mic2_ring[kSecondMicSlots][2][kSpectralBins];
  SerrinComplex reference_spectrum[kSpectralBins];
  SerrinComplex noise_spectrum[kSpectralBins];
  float reference_power[kSpectralBins];
  float mic_power[kSpectralBins];
  float error_power[kSpectralBins];
  float expected_power[kSpectralBins];  // expected echo plus noise floor, scaled
  float far_envelope[kSpectralBins];
  float expected_residual[kSpectralBins];  // far-end envelope times what the filter leaves
  float residual_power[kSpectralBins];     // power of the channel after the filter
  float noise_magnitudes[kSpectralBins];
  float ratios[kSpectralBins + 1];  // per-bin ratios, then the recent-echo flag
  float echo_peaks[kSerrinChannels][kSpectralBins];
  float echo_gated[kSerrinChannels][kSpectralBins];
  float residual_out[kSerrinChannels][kSpectralBins];
  float compensation[kSpectralBins];  // inverse power response of the pre-emphasis
  float unity_gains[kSpectralBins];
  int16_t reference_ring[kReferenceRingSamples];
  int32_t reference_ring_pos;
  int16_t noise_frame[kSerrinFrame];
  int16_t unit_noise_frame[kSerrinFrame];
  int16_t output[kSerrinFrame];
  int16_t last_output[kSerrinFrame];
};

// Sets every record to its start value and allocates the auxiliary block.
void serrin_init(SerrinState* state);
// Releases what serrin_init allocated.
void serrin_release(SerrinState* state);

// The core's output gain step: first row of kGainStepTable at or above db.
void serrin_set_output_gain_db(SerrinState* state, int32_t db);
