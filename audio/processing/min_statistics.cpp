#include "min_statistics.h"

#include <cstring>

void min_tracker_setup(MinTracker* t, float reset, float floor_value, float floor_threshold,
                       int32_t window_a, int32_t window_b, float alpha) {
  std::memset(t, 0, sizeof(*t));
  t->reset_a = t->min_a = t->cand_a = t->smooth_a = reset;
  t->reset_b = t->min_b = t->cand_b = t->smooth_b = reset;
  t->floor_value = floor_value;
  t->floor_threshold = floor_threshold;
  t->window_a = window_a;
  t->window_b = window_b;
  t->alpha_a = t->alpha_b = alpha;
}

void min_tracker_update(MinTracker*, float) {}

void spectral_floor_init(SpectralFloor* f) {
  for (int k = 0; k < kSpectralBins; ++k) {
    f->smoothed[k] = 2061458.5f;
    f->block_min[k] = 2.0614585e12f;
    f->work_a[k] = f->work_b[k] = 1e-9f;
    f->floor[k] = 2061458.5f;
  }
  f->alpha_smooth = 0.2485227f;
  f->alpha_fall = 0.9179150f;
  f->alpha_rise = 0.1175031f;
  f->frame_counter = 0;
}

void spectral_floor_update(const float*, int32_t, SpectralFloor*) {}

void floor_sweep_init(FloorSweep* s) {
  std::memset(s, 0, sizeof(*s));
  s->smoothing = 0.1f;
  for (float& v : s->quarter) v = 0.25f;
  for (float& v : s->large) v = 1e8f;
  for (float& v : s->medium) v = 1e6f;
  s->cursor = 2;
}

void band_activity_update(const float*, MinTracker*, float, SpectralFloor*, FloorSweep*) {}

int band_trackers_init(BandTrackers* b) {
  for (MinTracker& t : b->trackers) min_tracker_setup(&t, 2e12f, 1000.0f, 1000.0f, 50, 100, 0.25f);
  for (int32_t& f : b->flags) f = 1;
  std::memset(b->reserved, 0, sizeof(b->reserved));
  return 1;
}
