// The serrin core's per-frame processing: echo cancellation, echo mode, headphone and
// residual-echo detection, suppression, noise suppression and the clip-safe output gain.
#pragma once

#include <cstdint>

#include "serrin_state.h"

// One input-channel descriptor of the core (23 words).
struct SerrinChannel {
  int32_t type;              // 0: 1 = microphone channel with the second microphone beside it
  int32_t settings[10];      // 1..10: descriptor settings; not read for type 1
  int16_t* mic;              // 11: microphone frame
  int16_t* mic2;             // 12: second-microphone frame
  int16_t* mic_copy;         // 13: microphone frame again
  int32_t unused14[3];       // 14..16
  int32_t mic_samples;       // 17
  int32_t mic2_samples;      // 18: second-microphone samples of this frame (0 when off)
  int32_t mic_samples_copy;  // 19
  int32_t unused20[3];       // 20..22
};

constexpr int kSerrinChannelTableSize = 4;  // the table ends at the first null entry

// The arguments of one frame (14 words).
struct SerrinFrameArgs {
  int16_t* reference;         // 0: delay-aligned far end (960); replaced by the delayed reference
  int16_t* output;            // 1: processed frame (960), written at the end
  int16_t* second_output;     // 2: not used
  int32_t voice;              // 3: voice flag of the caller's detector
  int32_t word4;              // 4: not used
  int32_t word5;              // 5: not used
  int32_t second_mic_on;      // 6
  float* mic_floor;           // 7: out, microphone noise floor every 50 frames
  float* mic2_floor;          // 8: out, second-microphone noise floor every 50 frames
  int32_t* echo_hold;         // 9: out, 1 while the crest detector's hold runs
  uint8_t* mode3;             // 10: out, 1 when the frame's echo mode is 3
  int32_t noise_suppression;  // 11: nonzero runs the noise-suppression chain
  int32_t word12;             // 12: not used
  SerrinState* state;         // 13
};

void serrin_process(SerrinState* state, SerrinChannel* const* channels, SerrinFrameArgs* args);

// Steps of the frame, exposed for their tests.

// Far-end loud hold: 17 when energy exceeds 20 x level and 96000, else one less (>= 0).
int32_t serrin_far_end_hold(float energy, float level, int32_t hold);

// ERLE check every 151 frames from the largest echo-return ratio: updates the core's
// ERLE, the low-ERLE count, the reference level and the hold counter; clears the ratio.
void serrin_erle_check(SerrinState* state);

// Echo-after-canceller bookkeeping of one frame in mode 2 or 3 (found: echo seen).
void serrin_echo_after_canceller(SerrinState* state, int found);

// Clip-safe output gain over ten blocks of 96 samples, ramping from the applied gain.
void serrin_apply_output_gain(SerrinState* state, int16_t* samples, float gain);
