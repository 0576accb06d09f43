#include "min_statistics.h"

#include <cmath>
#include <cstring>

namespace {

// One minimum stage: the minimum over a window that renews itself from the best value
// seen in the second half of the span, and its smoothed value.
void MinStage(float x, int32_t window, float reset, float alpha, float* minimum, float* candidate, int32_t* count,
              float* smoothed) {
  if (x < *minimum) {
    *minimum = x;
    *candidate = reset;
    *count = 0;
  } else {
    ++*count;
  }
  if (*count > window / 2 && x < *candidate) *candidate = x;
  if (*count > (3 * window) >> 1) {
    *minimum = *candidate;
    *candidate = reset;
    *count = window / 2;
  }
  *smoothed += (*minimum - *smoothed) * alpha;
}

constexpr float kBlockMinReset = 2.0614585e12f;
constexpr int kFloorBlockFrames = 50;
constexpr float kLowestFloor = 10.0f;
constexpr int kSweepFirstBin = 2;
constexpr int kSweepBinsPerFrame = 24;

}  // namespace

void min_tracker_setup(MinTracker* t, float reset, float floor_value, float floor_threshold, int32_t window_a,
                       int32_t window_b, float alpha) {
  std::memset(t, 0, sizeof(*t));
  t->reset_a = t->min_a = t->cand_a = t->smooth_a = reset;
  t->reset_b = t->min_b = t->cand_b = t->smooth_b = reset;
  t->floor_value = floor_value;
  t->floor_threshold = floor_threshold;
  t->window_a = window_a;
  t->window_b = window_b;
  t->alpha_a = t->alpha_b = alpha;
}

void min_tracker_update(MinTracker* t, float x) {
  MinStage(x, t->window_b, t->reset_b, t->alpha_b, &t->min_b, &t->cand_b, &t->count_b, &t->smooth_b);
  if (x >= 10.0f * t->smooth_b) return;  // a loud value never reaches stage A
  if (x < t->floor_threshold) x = t->floor_value;
  MinStage(x, t->window_a, t->reset_a, t->alpha_a, &t->min_a, &t->cand_a, &t->count_a, &t->smooth_a);
}

void spectral_floor_init(SpectralFloor* f) {
  for (int k = 0; k < kSpectralBins; ++k) {
    f->smoothed[k] = 2061458.5f;
    f->block_min[k] = kBlockMinReset;
    f->work_a[k] = f->work_b[k] = 1e-9f;
    f->floor[k] = 2061458.5f;
  }
  f->alpha_smooth = 0.2485227f;
  f->alpha_fall = 0.9179150f;
  f->alpha_rise = 0.1175031f;
  f->frame_counter = 0;
}

void spectral_floor_update(const float* power, int32_t hangover, SpectralFloor* f) {
  if (hangover > 0) return;
  for (int k = 2; k < kSpectralBins; ++k) {
    f->smoothed[k] += (power[k] - f->smoothed[k]) * f->alpha_smooth;
    if (f->smoothed[k] < f->block_min[k]) f->block_min[k] = f->smoothed[k];
  }
  if (f->frame_counter > kFloorBlockFrames) {
    f->frame_counter = 0;
    for (int k = 0; k < kSpectralBins; ++k) {
      const float m = f->block_min[k];
      const float a = f->floor[k] < m ? f->alpha_rise : f->alpha_fall;
      f->floor[k] += (m - f->floor[k]) * a;
      if (f->floor[k] < kLowestFloor) f->floor[k] = kLowestFloor;
      f->block_min[k] = kBlockMinReset;
    }
  }
  ++f->frame_counter;
}

void floor_sweep_init(FloorSweep* s) {
  std::memset(s, 0, sizeof(*s));
  s->smoothing = 0.1f;
  for (float& v : s->quarter) v = 0.25f;
  for (float& v : s->large) v = 1e8f;
  for (float& v : s->medium) v = 1e6f;
  s->cursor = kSweepFirstBin;
}

void band_activity_update(const float* power, MinTracker* tracker, float band_value, SpectralFloor* floor,
                          FloorSweep* sweep) {
  min_tracker_update(tracker, band_value);
  if (band_value > 10.0f * tracker->smooth_a) {
    tracker->hangover = 10;
  } else if (tracker->hangover > 0) {
    --tracker->hangover;
  }
  spectral_floor_update(power, tracker->hangover, floor);
  for (int i = 0; i < kSweepBinsPerFrame && sweep->cursor < kSpectralBins; ++i, ++sweep->cursor) {
    const int k = sweep->cursor;
    floor->work_a[k] = 1.0307293f / (floor->floor[k] + 1.0f);
    floor->work_b[k] = 3.2f * std::sqrt(floor->floor[k]);
    sweep->running_sum += floor->floor[k];
  }
  if (sweep->cursor >= kSpectralBins) {
    sweep->cursor = kSweepFirstBin;
    sweep->total = sweep->running_sum;
    sweep->running_sum = 0.0f;
  }
}

int band_trackers_init(BandTrackers* b) {
  for (MinTracker& t : b->trackers) min_tracker_setup(&t, 2e12f, 1000.0f, 1000.0f, 50, 100, 0.25f);
  for (int32_t& f : b->flags) f = 1;
  std::memset(b->reserved, 0, sizeof(b->reserved));
  return 1;
}
