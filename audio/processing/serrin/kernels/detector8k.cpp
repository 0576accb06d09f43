#include "detector8k.h"

#include <cmath>
#include <cstring>

#include "fixed_fft256.h"

namespace {

constexpr int16_t kDecimateHalf[kDecimateTaps / 2] = {
    98,  83,  86,  58,  -12,  -125, -276,  -444,  -601, -714, -752, -693, -531, -284, 12,   300, 519,
    615, 553, 327, -28, -444, -826, -1067, -1074, -781, -172, 715,  1790, 2919, 3950, 4735, 5160};

struct DecimateTaps {
  int16_t taps[kDecimateTaps];
  DecimateTaps() {
    for (int i = 0; i < kDecimateTaps / 2; ++i) {
      taps[i] = kDecimateHalf[i];
      taps[kDecimateTaps - 1 - i] = kDecimateHalf[i];
    }
  }
};

// High-pass in Q15: about -20 dB at 50 Hz, -2 dB from 100 to 200 Hz, flat above 1 kHz.
constexpr int64_t kHpA[3] = {-92747, 87515, -27506};
constexpr int64_t kHpB[4] = {30094, -90174, 90174, -30094};

constexpr int32_t kFloorStart = 10000000;
constexpr int32_t kFloorCandidateFrom = 100;
constexpr int32_t kFloorAfter = 300;
constexpr int kLowBins = 10;  // bins 2..11: about 60 to 350 Hz at the nominal 8 kHz
constexpr int kFirstBin = 2;
constexpr int kLastBin = 123;
constexpr int kFirstLag = 35;
constexpr int kLastLag = 107;
constexpr int32_t kPitchMinimum = 2458;  // 0.3 in Q13
constexpr double kSpreadLimit = 60.0;
constexpr int32_t kStrongCorrelation = 5500;
constexpr int32_t kHarmonicCorrelation = 8000;
constexpr int32_t kStrongLevel = 16000;
constexpr int32_t kHold = 30;
constexpr int32_t kRunLimit = 60;

int32_t Clamp32(double v) {
  if (v > 2147483647.0) return 2147483647;
  if (v < -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(v);
}

int16_t Clamp16(int64_t v) { return static_cast<int16_t>(v > 32767 ? 32767 : (v < -32768 ? -32768 : v)); }

void FloorInit(LevelFloor* f) {
  std::memset(f, 0, sizeof(*f));
  f->floor = kFloorStart;
  f->candidate = kFloorStart;
}

void FloorUpdate(int32_t value, LevelFloor* f) {
  std::memmove(f->recent, f->recent + 1, sizeof(f->recent[0]) * 3);
  f->recent[3] = value;
  const int32_t mean =
      static_cast<int32_t>((static_cast<int64_t>(f->recent[0]) + f->recent[1] + f->recent[2] + f->recent[3]) / 4);
  if (mean < f->floor) {
    f->floor = mean;
    f->count = 0;
    f->candidate = kFloorStart;
    return;
  }
  ++f->count;
  if (f->count > kFloorCandidateFrom && mean < f->candidate) f->candidate = mean;
  if (f->count > kFloorAfter) {
    f->floor = f->candidate;
    f->candidate = kFloorStart;
    f->count = kFloorCandidateFrom;
  }
}

// Windowed spectrum of the last 256 samples; bin powers in the transform's units and the
// exponent that scales magnitudes back (out x 2^e = DFT / 256).
int Spectrum(const Detector8k* d, double* power) {
  FixedPair in[kFixedFftPairs], out[kFixedFftPairs];
  int32_t x[kDetectorWindow];
  for (int n = 0; n < kDetectorWindow; ++n) {
    int64_t w = 32768;
    if (n < 64) w = d->taper[n];
    if (n >= kDetectorWindow - 64) w = d->taper[kDetectorWindow - 1 - n];
    x[n] = static_cast<int32_t>((d->samples[n] * w) >> 15);
  }
  for (int p = 0; p < kFixedFftPairs; ++p) in[p] = {x[2 * p], x[2 * p + 1]};
  const int e = serrin_rfft256_q(in, out);
  power[0] = 0.0;
  for (int k = 1; k < kFixedFftPairs; ++k) {
    power[k] = static_cast<double>(out[k].re) * out[k].re + static_cast<double>(out[k].im) * out[k].im;
  }
  return e;
}

// Normalised autocorrelation peak (Q13) of the peak-enhanced spectrum between lags 35 and
// 107; returns the pitch 2 x lag, or 0 below 0.3.
int32_t Pitch(const double* power, int32_t* correlation) {
  double enhanced[kFixedFftPairs] = {};
  double largest = 0.0;
  for (int k = kFirstBin; k <= kLastBin; ++k) {
    const double e = power[k] - 0.5 * (power[k - 1] + power[k + 1]);
    enhanced[k] = e > 0.0 ? e : 0.0;
    if (enhanced[k] > largest) largest = enhanced[k];
  }
  *correlation = 0;
  if (largest <= 0.0) return 0;
  FixedPair in[kFixedFftPairs] = {}, out[kFixedFftPairs];
  const double scale = 16777216.0 / largest;
  for (int k = kFirstBin; k <= kLastBin; ++k) in[k].re = static_cast<int32_t>(enhanced[k] * scale);
  serrin_irfft256_q(in, out);
  auto lag = [&](int n) { return static_cast<int64_t>(n % 2 == 0 ? out[n / 2].re : out[n / 2].im); };
  const int64_t zero = lag(0);
  if (zero <= 0) return 0;
  int best = kFirstLag;
  for (int n = kFirstLag + 1; n <= kLastLag; ++n) {
    if (lag(n) > lag(best)) best = n;
  }
  const int64_t normalised = lag(best) * 8192 / zero;
  if (normalised < kPitchMinimum) return 0;
  *correlation = static_cast<int32_t>(normalised);
  return 2 * best;
}

// Squared samples summed over [from, to) of the buffer, boundary samples weighted by the
// covered fraction.
double SquaresBetween(const int32_t* squares, double from, double to) {
  auto cumulative = [&](double x) {
    const int whole = static_cast<int>(x);
    double sum = 0.0;
    for (int i = 0; i < whole; ++i) sum += squares[i];
    if (whole < kDetectorSquares) sum += (x - whole) * squares[whole];
    return sum;
  };
  return cumulative(to) - cumulative(from);
}

// Harmonic strength w (Q13) of this analysis: the mean normalised correlation of three
// consistent pitches whose period energies are steady; 0 otherwise.
int32_t HarmonicStrength(const Detector8k* d) {
  const int32_t* p = d->pitch;
  if (p[0] == 0 || p[1] == 0 || p[2] == 0) return 0;
  const double mean = (p[0] + p[1] + p[2]) / 3.0;
  const double spread =
      (static_cast<double>(p[0]) * p[0] + static_cast<double>(p[1]) * p[1] + static_cast<double>(p[2]) * p[2]) / 3.0 -
      mean * mean;
  if (spread >= kSpreadLimit) return 0;
  const double period = mean / 2.0;
  int f = 4;
  while (f * period < 280.0) f += 2;
  const double start = kDetectorSquares / 2 - f * period / 2.0;
  double energy[64];
  for (int j = 0; j < f; ++j) {
    energy[j] = SquaresBetween(d->squares, start + j * period, start + (j + 1) * period);
  }
  int32_t v = 0, c = 0, step = 0;
  period_energy_stability(energy, f, &v, &c, &step);
  if (v > 4176 || v - c / 2 > 1637 || step > 9829) return 0;
  return (d->correlation[0] + d->correlation[1] + d->correlation[2]) / 3;
}

void Hangovers(Detector8k* d, int32_t w, bool energetic) {
  if (d->strong_hold > 0) --d->strong_hold;
  if (d->loud_hold > 0) --d->loud_hold;
  if (d->harmonic_hold > 0) --d->harmonic_hold;
  const bool strong = w > kStrongCorrelation && d->level > kStrongLevel && energetic;
  if (strong) {
    d->strong_hold = kHold;
    if (d->previous_strong) d->loud_hold = kHold - 1;
  }
  if (strong || w > kHarmonicCorrelation) d->harmonic_hold = kHold;
  d->previous_strong = strong ? 1 : 0;
  if (d->harmonic_hold > 0 && d->strong_hold == 0) {
    ++d->run;
  } else {
    d->run = 0;
  }
}

void HighPassSample(int32_t x, Detector8k* d) {
  int32_t* m = d->hp_w;
  const int64_t w = x - ((kHpA[0] * m[0] + kHpA[1] * m[1] + kHpA[2] * m[2]) >> 15);
  const int64_t y = (kHpB[0] * w + kHpB[1] * m[0] + kHpB[2] * m[1] + kHpB[3] * m[2]) >> 15;
  m[2] = m[1];
  m[1] = m[0];
  m[0] = Clamp32(static_cast<double>(w));
  d->pending[d->pending_count++] = Clamp16(y);
}

void TakeBlock(Detector8k* d) {
  std::memmove(d->samples, d->samples + kDetectorBlock, sizeof(d->samples[0]) * (kDetectorWindow - kDetectorBlock));
  std::memmove(d->squares, d->squares + kDetectorBlock, sizeof(d->squares[0]) * (kDetectorSquares - kDetectorBlock));
  for (int i = 0; i < kDetectorBlock; ++i) {
    const int32_t y = d->pending[i];
    d->samples[kDetectorWindow - kDetectorBlock + i] = y;
    d->squares[kDetectorSquares - kDetectorBlock + i] = (y >> 1) * (y >> 1);
  }
  d->pending_count = 0;
  d->accumulator += kDetectorBlock;
  if (d->accumulator >= kDetectorHop) {
    d->accumulator -= kDetectorHop;
    detector8k_analyse(d);
  }
}

}  // namespace

const int16_t* decimate6_taps() {
  static const DecimateTaps taps;
  return taps.taps;
}

void decimate6(const int16_t* in, int16_t* out, int16_t* history) {
  constexpr int kHistory = kDecimateTaps - 1;
  int16_t buffer[kHistory + 480];
  std::memcpy(buffer, history, sizeof(int16_t) * kHistory);
  std::memcpy(buffer + kHistory, in, sizeof(int16_t) * 480);
  const int16_t* c = decimate6_taps();
  for (int m = 0; m < 80; ++m) {
    const int16_t* newest = buffer + kHistory + 6 * m + 5;
    int32_t sum = 0;
    for (int t = 0; t < kDecimateTaps; ++t) sum += (c[t] * newest[-t]) >> 15;
    out[m] = Clamp16(sum);
  }
  std::memcpy(history, buffer + 480, sizeof(int16_t) * kHistory);
}

void detector8k_init(Detector8k* d) {
  std::memset(d, 0, sizeof(*d));
  const double pi = 3.14159265358979323846;
  for (int k = 0; k < 64; ++k) {
    d->taper[k] = static_cast<int32_t>(std::lround(32768.0 * std::sqrt(0.5 - 0.5 * std::cos(k * pi / 64.0))));
  }
  FloorInit(&d->level_floor);
  FloorInit(&d->envelope_floor);
}

void detector8k_frames(const int16_t* samples, int count, Detector8kOutput* out, Detector8k* d) {
  int frames = count / kDetectorFrame;
  if (frames > kDetectorMaxFrames) frames = kDetectorMaxFrames;
  for (int f = 0; f < frames; ++f) detector8k_frame(samples + f * kDetectorFrame, &out->entry[f], d);
  out->count = frames;
}

void detector8k_frame(const int16_t* samples, Detector8kEntry* entry, Detector8k* d) {
  bool constant = true;
  for (int n = 1; n < kDetectorFrame && constant; ++n) constant = samples[n] == samples[0];
  if (constant) {
    d->constant = 1;
    std::memset(entry, 0, sizeof(*entry));
    return;
  }
  if (d->constant) detector8k_init(d);
  for (int n = 0; n < kDetectorFrame; ++n) {
    HighPassSample(samples[n], d);
    if (d->pending_count == kDetectorBlock) TakeBlock(d);
  }
  entry->strong_harmonic = d->strong_hold > 0 ? 1 : 0;
  entry->loud_harmonic = d->loud_hold > 0 ? 1 : 0;
  entry->harmonic = (d->harmonic_hold > 0 && d->run < kRunLimit) ? 1 : 0;
  entry->peak = Clamp16(d->peak);
  entry->level = Clamp16(d->level);
}

void detector8k_analyse(Detector8k* d) {
  double power[kFixedFftPairs];
  const int e = Spectrum(d, power);
  double low = 0.0, total = 0.0;
  for (int k = kFirstBin; k < kFirstBin + kLowBins; ++k) low += power[k];
  for (int k = 4; k <= kLastBin; ++k) total += power[k];
  const double rescale = std::ldexp(1.0, e + 9);
  const int32_t u = Clamp32(std::sqrt(low) * rescale);
  const int32_t t = Clamp32(std::sqrt(total) * rescale);
  const int32_t v = (t >> 7) - (t >> 9);
  d->level = u;
  FloorUpdate(u, &d->level_floor);
  FloorUpdate(v, &d->envelope_floor);
  d->smoothed_level = d->smoothed_level == 0.0f ? static_cast<float>(u) : 0.85f * d->smoothed_level + 0.15f * u;
  const bool energetic = 4.0f * d->level_floor.floor < d->smoothed_level;

  // Envelope peak: the previous value when it stands above both the current one and the
  // one four analyses before it.
  std::memmove(d->envelope, d->envelope + 1, sizeof(d->envelope[0]) * (kEnvelopeHistory - 1));
  d->envelope[kEnvelopeHistory - 1] = v;
  const int64_t P = d->envelope[kEnvelopeHistory - 2];
  const int64_t q = d->envelope[kEnvelopeHistory - 6];
  const bool peak = v * 32768LL < 31784 * P && 46333 * q < 32768 * P && v + 20 < P && q + 20 < P;
  d->peak = peak ? static_cast<int32_t>(P) : 0;

  std::memmove(d->pitch, d->pitch + 1, sizeof(d->pitch[0]) * 2);
  std::memmove(d->correlation, d->correlation + 1, sizeof(d->correlation[0]) * 2);
  d->pitch[2] = Pitch(power, &d->correlation[2]);
  Hangovers(d, HarmonicStrength(d), energetic);
}

void period_energy_stability(const double* energy, int f, int32_t* v, int32_t* c, int32_t* d) {
  double mean = 0.0;
  for (int j = 0; j < f; ++j) mean += energy[j];
  mean /= f;
  if (mean <= 0.0 || f < 2) {
    *v = *c = *d = 8192 * 8;
    return;
  }
  double variance = 0.0, slope = 0.0, positions = 0.0, steps = 0.0;
  const double centre = (f - 1) / 2.0;
  for (int j = 0; j < f; ++j) {
    variance += (energy[j] - mean) * (energy[j] - mean);
    slope += (j - centre) * (energy[j] - mean);
    positions += (j - centre) * (j - centre);
    if (j > 0) steps += std::fabs(energy[j] - energy[j - 1]);
  }
  variance /= f;
  slope /= positions;
  const double trend = slope * slope * positions / f;  // variance of the fitted line
  *v = Clamp32(8192.0 * variance / (mean * mean));
  *c = Clamp32(8192.0 * trend / (mean * mean));
  *d = Clamp32(8192.0 * steps / (f - 1) / mean);
}
