// Per-bin suppression gain, comfort noise, echo activity and output gain control.
#pragma once

#include <cstdint>

#include "min_statistics.h"
#include "serrin_fft.h"

// Per-channel residual-echo record: per-bin minima and levels and a mode word.
struct ResidualEchoRecord {
  float minima[kSpectralBins];
  float levels[kSpectralBins];
  int32_t mode;
  int32_t reserved[2];
};

// One row of a gain curve: knee X, slope H = (1 - floor) / X, smoothing width W in bins
// (0: per bin). Row g covers the bin group g with edges 2, 20, 80, 160, 320, 880.
struct GainCurveRow {
  float knee;
  float slope;
  int32_t width;
};
constexpr int kGainCurveRows = 5;
constexpr int kGainCurveEnd = 880;  // no gain or comfort noise from here up
// The normal curve (floor 0.35) or the gentle one (floor 0.5).
const GainCurveRow* gain_curve(bool gentle);

// Release of the smoothed per-bin ratios (chosen by the echo bench).
constexpr float kRatioRelease = 0.5f;

// The comfort-noise generator: s = s x 31321 + 15467 in 16 bits; returns the new s.
int16_t comfort_noise_next(int16_t* seed);

struct SuppressorState {
  float ratios[kSpectralBins];  // smoothed per-bin ratios
  float release;
  int32_t gentle_countdown;
  int16_t noise_seed;           // comfort-noise generator
  int32_t comfort_noise;        // comfort noise enabled
  int32_t suppress;             // suppression flag set by the per-frame processing
  float frame_constant;         // set to 0.01 every frame
  float strength;               // per-channel suppression strength
  float window[kSpectralBins];  // comfort-noise shape of comfort_noise_fill
  // Delay length of the core (0: none) and the stored tail magnitudes: a length above 161
  // fills the bins from 960 - length / 2 with noise of the tail magnitudes.
  int32_t delay_length;
  float tail[kSpectralBins];
};
constexpr int32_t kTailFillLength = 161;

void suppressor_init(SuppressorState* s);

struct EchoActivity {
  float high_band;
  int32_t energy_low;
  int32_t energy_high;
  int32_t echo_active;
  int32_t trigger;
  float frame_level;  // level of the gated residual, sqrt(Q / 460800)
  int32_t count;
  int32_t hold;
  int32_t quiet_frames;
  int32_t hold2;
  int32_t frames;
  int32_t quiet2;
  float mean_echo;  // weighted mean echo level of the last peak follow
};

void echo_activity_init(EchoActivity* a);

// Decaying per-bin peaks of the echo estimate, gated per band into `gated`; publishes the
// weighted mean 2/960 x sum(weights[k] x peaks[k]) over the band bins as a->mean_echo.
void echo_peak_follow(const float* echo_power, float* peaks, float* gated, int mode, const float* band_thresholds,
                      const float* band_factors, const float* weights, EchoActivity* a);
void echo_activity_update(const float* residual_power, const float* thresholds, const float* gains, int mode,
                          float* output, EchoActivity* a);

// Scales every bin of spectrum by its gain and adds comfort noise; ratios[960] is the
// recent-echo flag.
void apply_suppression_gain(SerrinComplex* spectrum, const float* ratios, const float* noise_magnitudes, float gain,
                            int mode, int strength_type, int bins, SuppressorState* s, int flag);
void comfort_noise_fill(const float* noise_magnitudes, float level, SerrinComplex* out, SuppressorState* s, int flag);
void comfort_noise_fill_unit(const float* noise_magnitudes, SerrinComplex* out, SuppressorState* s);

struct AgcState {
  float gain;  // at least 0.5
  float max_gain;
  float level;
  float follower;
  int32_t frames;  // up to 64
  int32_t hold;
  int32_t hold_reload;
};

// Largest output gain: the level target of agc_gain_update reaches 20 for a quiet talker.
constexpr float kAgcMaxGain = 20.0f;

void agc_init(AgcState* a);
// Returns the new output gain for level L and activity c.
float agc_gain_update(AgcState* a, int halve, float level, float activity, int low_gain);
