#include "resampler_tables.h"

#include <cmath>
#include <memory>

#include "vorax_mutex.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kKaiserBeta = 5.0;

double BesselI0(double x) {
  double sum = 1.0, term = 1.0;
  for (int k = 1; k < 40; ++k) {
    term *= (x / (2.0 * k)) * (x / (2.0 * k));
    sum += term;
  }
  return sum;
}

double Kaiser(double d, double half) {
  const double u = d / half;
  if (u < -1.0 || u > 1.0) return 0.0;
  return BesselI0(kKaiserBeta * std::sqrt(1.0 - u * u)) / BesselI0(kKaiserBeta);
}

// sin(pi x) / (pi x)
double Sinc(double x) { return x == 0.0 ? 1.0 : std::sin(kPi * x) / (kPi * x); }

int16_t ToQ15(float v) { return static_cast<int16_t>(static_cast<int32_t>(v * 32768.0f)); }

// Phase filters of "hold each input L times, then filter with taps c[0..n-1]": output
// L*m + phase weighs input m - j with the sum of the taps t whose held input it is.
void BuildPhases(const int16_t* proto, int n, int factor, int16_t* phases, int width) {
  for (int phase = 0; phase < factor; ++phase) {
    int sums[64] = {};
    for (int t = 0; t < n; ++t) {
      const int j = t < phase ? 0 : (t - phase + factor - 1) / factor;
      sums[j] += proto[t + 1];
    }
    for (int j = 0; j < width; ++j) phases[phase * width + j] = static_cast<int16_t>(sums[j]);
  }
}

// Sum of P[from..from+count-1], counting only indices 1..63.
int16_t SumRange(const int16_t* p, int from, int count) {
  int16_t s = 0;
  for (int i = from; i < from + count; ++i) {
    if (i >= 1 && i <= 63) s = static_cast<int16_t>(s + p[i]);
  }
  return s;
}

void BuildHoldFilterTables(HoldFilterTables* t) {
  float p6[64], p3[64];
  DesignLowPass(p6, 63, kP6Cutoff);
  DesignLowPass(p3, 63, kP3Cutoff);
  for (int i = 0; i < 64; ++i) {
    t->p6[i] = ToQ15(p6[i]);
    t->p3[i] = ToQ15(p3[i]);
  }
  const int16_t* P3 = t->p3;
  const int16_t* P6 = t->p6;
  for (int k = 0; k <= 30; ++k) t->p3_pairs[k] = SumRange(P3, 2 * k + 1, 2);
  t->p3_pairs[31] = P3[63];
  t->p3_three_a[0] = SumRange(P3, 1, 2);
  for (int k = 1; k <= 20; ++k) t->p3_three_a[k] = SumRange(P3, 3 * k, 3);
  t->p3_three_a[21] = P3[63];
  t->p3_three_b[0] = 0;
  for (int k = 0; k <= 20; ++k) t->p3_three_b[k + 1] = SumRange(P3, 3 * k + 1, 3);
  for (int k = 0; k < 12; ++k) t->p6_six_a[k] = SumRange(P6, 6 * k - 3, 6);
  for (int k = 0; k < 11; ++k) t->p6_six_b[k] = SumRange(P6, 6 * k + 1, 6);
  for (int k = 0; k < 11; ++k) t->p6_six_c[k] = SumRange(P6, 6 * k, 6);

  // The prototypes are symmetric, so each phase is one of the sum tables forward or reversed.
  for (int j = 0; j < 22; ++j) {
    t->up3_phase[0][j] = t->p3_three_a[21 - j];
    t->up3_phase[1][j] = t->p3_three_a[j];
    t->up3_phase[2][j] = t->p3_three_b[21 - j];
  }
  for (int j = 0; j < 12; ++j) {
    t->up6_phase[0][j] = t->p6_six_a[11 - j];
    t->up6_phase[1][j] = t->p6_six_a[j];
    t->up6_phase[2][j] = j < 11 ? t->p6_six_b[10 - j] : 0;
    t->up6_phase[3][j] = j < 11 ? t->p6_six_c[10 - j] : 0;
    t->up6_phase[4][j] = j < 11 ? t->p6_six_c[j] : 0;
    t->up6_phase[5][j] = j < 11 ? t->p6_six_b[j] : 0;
  }
  for (int j = 0; j < 32; ++j) {
    t->up2down3_phase[0][j] = t->p3_pairs[31 - j];
    t->up2down3_phase[1][j] = t->p3_pairs[j];
  }
}

void BuildTableFilterTables(TableFilterTables* t) {
  float t4[48], t2[48];
  DesignLowPass(t4, 47, kT4Cutoff);
  DesignLowPass(t2, 47, kT2Cutoff);
  for (int i = 0; i < 48; ++i) {
    t->t4[i] = ToQ15(t4[i]);
    t->t2[i] = ToQ15(t2[i]);
  }
  BuildPhases(t->t2, 47, 2, &t->up2_phase[0][0], 24);
  BuildPhases(t->t4, 47, 4, &t->up4_phase[0][0], 13);
}

// One row per output phase: a Kaiser-windowed sinc centred `frac` input samples after tap
// 8, with the given cutoff (fraction of the input's Nyquist rate), scaled to a sum of 31400.
void BuildConverterRow(int16_t* row, double frac, double cutoff) {
  double h[16];
  double sum = 0.0;
  for (int t = 0; t < 16; ++t) {
    const double d = 8.0 - frac - t;
    h[t] = cutoff * Sinc(cutoff * d) * Kaiser(d, 8.0);
    sum += h[t];
  }
  for (int t = 0; t < 16; ++t) row[t] = static_cast<int16_t>(std::lround(h[t] * 31400.0 / sum));
}

// Row 0 of the 147-to-160 table as the converter's reference gives it. No windowed-sinc
// design reproduces it: its ratio of centre to neighbours asks for a cut-off near 0.9 of
// the input's Nyquist rate, while its taps 6 and 7 from the centre, both negative, ask for
// 0.83 to 0.86, and a non-negative window cannot change a sign. Searched: Kaiser (beta 0 to
// 16), Hann, Hamming, Blackman, Blackman-Harris, Nuttall, Lanczos (also past its support),
// Gauss, Bartlett, sine and rectangular windows of half-width 6.5 to 12 taps, cut-off 0.7
// to 1.0, centre 7.75 to 8.25, scaled to 2^15, to a sum of 31400 or by least squares, also
// with a hold before the sinc and with a 3- or 5-tap compensation after it. The nearest
// (Kaiser 2.0, half-width 6.5, cut-off 0.898) misses by 261 at worst, with compensation by
// 223. It is kept as given; the other rows come from the design below.
constexpr int16_t kUpRow0[16] = {26,    -261, -882,  1138, -1683, 2251, -2749, 3116,
                                 29597, 2995, -2700, 2229, -1674, 1137, -886,  -257};

ConverterTables* BuildConverterTables() {
  auto* t = new ConverterTables;
  constexpr double kUpCutoff = 0.902;                    // of 22.05 kHz
  constexpr double kDownCutoff = kUpCutoff * 147 / 160;  // the same frequency, of 24 kHz
  for (int k = 0; k < 160; ++k) BuildConverterRow(t->up[k], (k * 147 % 160) / 160.0, kUpCutoff);
  for (int i = 0; i < 16; ++i) t->up[0][i] = kUpRow0[i];
  for (int k = 0; k < 147; ++k) BuildConverterRow(t->down[k], (k * 160 % 147) / 147.0, kDownCutoff);
  return t;
}

VORAX::Mutex& TablesLock() {
  static VORAX::Mutex lock;
  return lock;
}

std::unique_ptr<HoldFilterTables> g_hold;
int g_hold_users = 0;
std::unique_ptr<TableFilterTables> g_table;
int g_table_users = 0;

}  // namespace

void DesignLowPass(float* out, int taps, double cutoff) {
  const int centre = taps / 2 + 1;
  const double half = taps / 2 + 1;
  double h[128];
  double sum = 0.0;
  out[0] = 0.0f;
  for (int i = 1; i <= taps; ++i) {
    const double d = i - centre;
    h[i] = 2.0 * cutoff * Sinc(2.0 * cutoff * d) * Kaiser(d, half);
    sum += h[i];
  }
  for (int i = 1; i <= taps; ++i) out[i] = static_cast<float>(h[i] / sum);
}

const HoldFilterTables* AcquireHoldFilterTables() {
  VORAX::AutoLock lock(TablesLock());
  if (g_hold_users++ == 0) {
    g_hold.reset(new HoldFilterTables);
    BuildHoldFilterTables(g_hold.get());
  }
  return g_hold.get();
}

void ReleaseHoldFilterTables() {
  VORAX::AutoLock lock(TablesLock());
  if (g_hold_users > 0 && --g_hold_users == 0) g_hold.reset();
}

const TableFilterTables* AcquireTableFilterTables() {
  VORAX::AutoLock lock(TablesLock());
  if (g_table_users++ == 0) {
    g_table.reset(new TableFilterTables);
    BuildTableFilterTables(g_table.get());
  }
  return g_table.get();
}

void ReleaseTableFilterTables() {
  VORAX::AutoLock lock(TablesLock());
  if (g_table_users > 0 && --g_table_users == 0) g_table.reset();
}

int HoldFilterTableUsers() {
  VORAX::AutoLock lock(TablesLock());
  return g_hold_users;
}

int TableFilterTableUsers() {
  VORAX::AutoLock lock(TablesLock());
  return g_table_users;
}

const ConverterTables& GetConverterTables() {
  static const std::unique_ptr<ConverterTables> tables(BuildConverterTables());
  return *tables;
}
