// Minimum-statistics trackers, band hangover and the per-bin spectral noise floor.
#pragma once

#include <cstdint>

// Two minimum stages (A: noise level, B: gate level) and a hangover.
struct MinTracker {
  float reset_a;
  float floor_value;
  int32_t window_a;
  float min_a;
  float cand_a;
  int32_t count_a;
  float alpha_a;
  float smooth_a;
  float reset_b;
  float floor_threshold;
  int32_t window_b;
  float min_b;
  float cand_b;
  int32_t count_b;
  float alpha_b;
  float smooth_b;
  int32_t hangover;
};

// Both stages start at reset (minimum, candidate, smoothed value), counters at 0.
void min_tracker_setup(MinTracker* t, float reset, float floor_value, float floor_threshold, int32_t window_a,
                       int32_t window_b, float alpha);
void min_tracker_update(MinTracker* t, float x);

constexpr int kSpectralBins = 960;

struct SpectralFloor {
  float smoothed[kSpectralBins];
  float block_min[kSpectralBins];
  float work_a[kSpectralBins];
  float work_b[kSpectralBins];
  float floor[kSpectralBins];  // per-bin noise estimate
  float alpha_smooth;
  float alpha_fall;
  float alpha_rise;
  int32_t frame_counter;
};

void spectral_floor_init(SpectralFloor* f);
void spectral_floor_update(const float* power, int32_t hangover, SpectralFloor* f);

struct FloorSweep {
  float values[kSpectralBins];
  float smoothing;
  float quarter[5];
  float large[4];
  float medium[2];
  int32_t counter;
  int32_t cursor;
  float running_sum;
  float total;  // frame-spread floor total of the last full sweep
};

void floor_sweep_init(FloorSweep* s);

// Tracker update, band hangover, floor update and a 24-bin sweep step.
void band_activity_update(const float* power, MinTracker* tracker, float band_value, SpectralFloor* floor,
                          FloorSweep* sweep);

// Six trackers of the main path's band energies.
struct BandTrackers {
  MinTracker trackers[6];
  int32_t flags[6];
  int32_t reserved[4];
};

// Returns 1 once the record is set up.
int band_trackers_init(BandTrackers* b);
