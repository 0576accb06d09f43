#include "residual_crest.h"

#include <cmath>
#include <cstring>

namespace {

constexpr int kDecimation = 6;
constexpr float kThreshold = 3.7f;
constexpr int kCentre = kCrestTaps / 2;  // 102
constexpr double kDcGain = 0.938;
// The stored values: the centre and the first taps (mirrored at the end).
constexpr float kCentreTap = 0.16465f;
constexpr float kFirstTaps[5] = {0.00089f, -0.00177f, -0.00237f, -0.00337f, -0.00441f};

// A Hamming-windowed sinc for 48 kHz to 8 kHz (cut-off where the centre tap puts it),
// with the stored end taps and centre, the rest scaled to a DC gain of 0.938.
struct Taps {
  float h[kCrestTaps];
  Taps() {
    const double pi = 3.14159265358979323846;
    const double fc = kCentreTap / kDcGain / 2.0;  // cut-off over the sampling rate
    double w[kCrestTaps];
    for (int n = 0; n < kCrestTaps; ++n) {
      const double t = n - kCentre;
      const double sinc = t == 0.0 ? 2.0 * fc : std::sin(2.0 * pi * fc * t) / (pi * t);
      w[n] = sinc * (0.54 - 0.46 * std::cos(2.0 * pi * n / (kCrestTaps - 1)));
    }
    double fixed = kCentreTap;
    for (int i = 0; i < 5; ++i) fixed += 2.0 * kFirstTaps[i];
    double rest = 0.0;
    for (int n = 5; n < kCrestTaps - 5; ++n) {
      if (n != kCentre) rest += w[n];
    }
    const double scale = (kDcGain - fixed) / rest;
    for (int n = 0; n < kCrestTaps; ++n) h[n] = static_cast<float>(w[n] * scale);
    for (int i = 0; i < 5; ++i) h[i] = h[kCrestTaps - 1 - i] = kFirstTaps[i];
    h[kCentre] = kCentreTap;
  }
};

}  // namespace

const float* crest_decimator_taps() {
  static const Taps taps;
  return taps.h;
}

void crest_detector_init(CrestDetector* c) { std::memset(c, 0, sizeof(*c)); }

void crest_decimate(const int16_t* samples, float* out, CrestDetector* c) {
  const float* h = crest_decimator_taps();
  float x[kCrestHistory + 960];
  std::memcpy(x, c->history, sizeof(c->history));
  for (int i = 0; i < 960; ++i) x[kCrestHistory + i] = samples[i];
  for (int m = 0; m < kCrestFrame; ++m) {
    const float* newest = x + kCrestHistory + kDecimation * m;
    float acc = 0.0f;
    for (int t = 0; t < kCrestTaps; ++t) acc += h[t] * newest[-t];
    out[m] = acc;
  }
  std::memcpy(c->history, x + 960, sizeof(c->history));
}

void crest_levinson(const float* r, float* a, float* k, float* e) {
  for (int i = 0; i <= kCrestOrder; ++i) {
    a[i] = 0.0f;
    if (k != nullptr) k[i] = 0.0f;
    if (e != nullptr) e[i] = 0.0f;
  }
  double err = r[0];
  if (e != nullptr) e[0] = static_cast<float>(err);
  double prev[kCrestOrder + 1] = {};
  double cur[kCrestOrder + 1] = {};
  for (int i = 1; i <= kCrestOrder; ++i) {
    if (!(err > 0.0)) break;
    double acc = r[i];
    for (int j = 1; j < i; ++j) acc -= prev[j] * r[i - j];
    const double ki = acc / err;
    cur[i] = ki;
    for (int j = 1; j < i; ++j) cur[j] = prev[j] - ki * prev[i - j];
    for (int j = 1; j <= i; ++j) prev[j] = cur[j];
    err *= 1.0 - ki * ki;
    if (k != nullptr) k[i] = static_cast<float>(ki);
    if (e != nullptr) e[i] = static_cast<float>(err);
  }
  for (int j = 1; j <= kCrestOrder; ++j) a[j] = static_cast<float>(prev[j]);
}

int residual_crest_detect(const int16_t* samples, CrestDetector* c) {
  crest_decimate(samples, c->decimated, c);
  const float* x = c->decimated;
  for (int k = 0; k <= kCrestOrder; ++k) {
    double s = 0.0;
    for (int n = 0; n + k < kCrestFrame; ++n) s += static_cast<double>(x[n]) * x[n + k];
    c->autocorrelation[k] = static_cast<float>(s);
  }
  c->autocorrelation[0] *= 1.001f;
  crest_levinson(c->autocorrelation, c->predictor, c->reflection, c->error);

  // Residual, with the previous frame's last samples before n = 0.
  double peak = 0.0, energy = 0.0;
  for (int n = 0; n < kCrestFrame; ++n) {
    double p = 0.0;
    for (int j = 1; j <= kCrestOrder; ++j) {
      const int i = n - j;
      const float past = i >= 0 ? x[i] : c->memory[kCrestOrder + i];
      p += c->predictor[j] * past;
    }
    const double e = x[n] - p;
    peak = std::fmax(peak, e * e);
    energy += e * e;
  }
  std::memcpy(c->memory, x + kCrestFrame - kCrestOrder, sizeof(c->memory));
  const double rms = std::sqrt(energy / kCrestFrame);
  const float crest = rms > 0.0 ? static_cast<float>(std::sqrt(peak) / rms) : 0.0f;

  std::memmove(c->crest, c->crest + 1, sizeof(float) * (kCrestFrames - 1));
  c->crest[kCrestFrames - 1] = crest;
  float sum = 0.0f;
  for (float v : c->crest) sum += v;
  return sum / kCrestFrames > kThreshold ? 1 : 0;
}
