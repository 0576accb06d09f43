#include "echo_metrics.h"

#include <cmath>
#include <vector>

double ErleDb(const int16_t* mic, const int16_t* out, size_t begin, size_t end, int lag) {
  double m = 0.0, o = 0.0;
  for (size_t n = begin; n < end; ++n) {
    m += static_cast<double>(mic[n]) * mic[n];
    const double y = out[n + lag];
    o += y * y;
  }
  return 10.0 * std::log10((m + 1.0) / (o + 1.0));
}

namespace {

double Correlation(const int16_t* out, const float* near, size_t begin, size_t end, int lag, int step) {
  double c = 0.0;
  for (size_t n = begin; n < end; n += step) c += out[n + lag] * static_cast<double>(near[n]);
  return c;
}

}  // namespace

NearEndFit FitNearEnd(const int16_t* out, const float* near, size_t begin, size_t end, int max_lag) {
  // Coarse search every 4th lag on every 4th sample of a two-second window, then the
  // neighbourhood of the best lag at full resolution.
  const size_t window_end = std::min(end, begin + 96000);
  int best = 0;
  double best_c = -1e300;
  for (int lag = 0; lag <= max_lag; lag += 4) {
    const double c = std::fabs(Correlation(out, near, begin, window_end, lag, 4));
    if (c > best_c) {
      best_c = c;
      best = lag;
    }
  }
  const int lo = std::max(0, best - 4);
  const int hi = std::min(max_lag, best + 4);
  best_c = -1e300;
  for (int lag = lo; lag <= hi; ++lag) {
    const double c = std::fabs(Correlation(out, near, begin, window_end, lag, 1));
    if (c > best_c) {
      best_c = c;
      best = lag;
    }
  }
  double sy = 0.0, ss = 0.0;
  for (size_t n = begin; n < end; ++n) {
    sy += out[n + best] * static_cast<double>(near[n]);
    ss += static_cast<double>(near[n]) * near[n];
  }
  const double g = ss > 0.0 ? sy / ss : 0.0;
  double err = 0.0, sig = 0.0;
  for (size_t n = begin; n < end; ++n) {
    const double s = g * near[n];
    const double e = out[n + best] - s;
    err += e * e;
    sig += s * s;
  }
  NearEndFit fit;
  fit.lag = best;
  fit.gain_db = 20.0 * std::log10(std::fabs(g) + 1e-12);
  fit.distortion_db = 10.0 * std::log10((err + 1.0) / (sig + 1.0));
  return fit;
}
