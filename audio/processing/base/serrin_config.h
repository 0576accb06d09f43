// Settings words of the serrin core and the table of output gain steps.
#pragma once

#include <atomic>
#include <cstdint>

// One record per process, reached through serrin_config(). The exports change music
// mode while the core runs; the core reads it without a lock at the next frame. The
// other words are read and written on the capture thread.
struct SerrinConfig {
  int32_t unused0[6];               // 0..5
  int32_t clear_unselected;         // 6: clear spectra of frames without a selected channel
  int32_t unused7[4];               // 7..10
  int32_t channel_lock;             // 11: nonzero: no second channel is selected
  float initial_reference_level;    // 12
  float reference_level;            // 13: copied into the state every frame
  float smoothing_a;                // 14
  float strength;                   // 15: suppression strength word
  float smoothing_b;                // 16
  int32_t residual_switch;          // 17
  int32_t unused18[3];              // 18..20
  int32_t forced_channel;           // 21: -1 for none
  float echo_threshold;             // 22
  int32_t forced_channel_switch;    // 23
  int32_t unused24;                 // 24
  int32_t echo_detection;           // 25
  std::atomic<uint8_t> music_mode;  // 26 (one byte of the word)
  uint8_t music_mode_pad[3];
  float residual_factor;     // 27
  float high_band_factor;    // 28
  int32_t unused29;          // 29
  float per_frame_constant;  // 30: copied into the state every frame
  float erle_ratio_max;      // 31: largest echo-return ratio since the last check
};
static_assert(sizeof(SerrinConfig) == 32 * 4, "32 words");

// The process's settings record.
SerrinConfig* serrin_config();

// Puts every word but music mode to its start value (reference level 64, strength 10, ...).
void serrin_config_reset(SerrinConfig* config);

struct GainStep {
  int32_t db;
  float factor;
};

constexpr int kGainStepCount = 51;
// -120, -50, -43, -37, -34, -31, -28, -25, -22 dB, then every dB from -20 to +21.
extern const GainStep kGainStepTable[kGainStepCount];

// Index of the first row whose dB value is at least db (the last row when none is).
int gain_step_index_at_least(int32_t db);
