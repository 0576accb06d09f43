#include "fixed_fft256.h"

#include <cmath>
#include <cstdlib>

namespace {

constexpr int kN = kFixedFftPairs;  // complex points
constexpr int kBits = 7;

struct Cpx {
  float re;
  float im;
};

struct Tables {
  int bitrev[kN];
  Cpx twiddle[kN];    // e^(-2 pi i k / 128)
  Cpx split[kN + 1];  // e^(-2 pi i k / 256)
  Tables() {
    const double pi = 3.14159265358979323846;
    for (int i = 0; i < kN; ++i) {
      int r = 0;
      for (int b = 0; b < kBits; ++b) r |= ((i >> b) & 1) << (kBits - 1 - b);
      bitrev[i] = r;
      twiddle[i] = {static_cast<float>(std::cos(2.0 * pi * i / kN)), static_cast<float>(-std::sin(2.0 * pi * i / kN))};
    }
    for (int i = 0; i <= kN; ++i) {
      split[i] = {static_cast<float>(std::cos(pi * i / kN)), static_cast<float>(-std::sin(pi * i / kN))};
    }
  }
};

const Tables& T() {
  static const Tables tables;
  return tables;
}

uint32_t MagnitudeOr(const FixedPair* in) {
  uint32_t bits = 0;
  for (int i = 0; i < kN; ++i) {
    bits |= in[i].re < 0 ? static_cast<uint32_t>(-(static_cast<int64_t>(in[i].re))) : static_cast<uint32_t>(in[i].re);
    bits |= in[i].im < 0 ? static_cast<uint32_t>(-(static_cast<int64_t>(in[i].im))) : static_cast<uint32_t>(in[i].im);
  }
  return bits;
}

int ShiftOf(uint32_t bits) {
  // The OR of magnitudes can reach 2^31; clamp to the int32 range before counting.
  if (bits > 0x7FFFFFFFu) bits = 0x7FFFFFFFu;
  return norm_shift(static_cast<int32_t>(bits));
}

// Decimation-in-time radix-2 passes over data already in bit-reversed order.
// The first pass may skip the halving; every other butterfly halves its inputs.
void Passes(Cpx* d, bool halve_first, int direction) {
  const Tables& t = T();
  for (int span = 1, stage = 0; span < kN; span <<= 1, ++stage) {
    const float h = (stage == 0 && !halve_first) ? 1.0f : 0.5f;
    const int step = kN / (2 * span);
    for (int start = 0; start < kN; start += 2 * span) {
      for (int k = 0; k < span; ++k) {
        Cpx w = t.twiddle[k * step];
        if (direction < 0) w.im = -w.im;
        Cpx& a = d[start + k];
        Cpx& b = d[start + k + span];
        const Cpx wb = {b.re * w.re - b.im * w.im, b.re * w.im + b.im * w.re};
        const Cpx na = {(a.re + wb.re) * h, (a.im + wb.im) * h};
        const Cpx nb = {(a.re - wb.re) * h, (a.im - wb.im) * h};
        a = na;
        b = nb;
      }
    }
  }
}

inline int32_t ToInt(float v) {
  // Truncation toward zero; the scaling keeps |v| below 2^31.
  if (v >= 2147483520.0f) return 2147483647;
  if (v <= -2147483648.0f) return -2147483647 - 1;
  return static_cast<int32_t>(v);
}

}  // namespace

int32_t norm_shift(int32_t x) {
  if (x == 0) return 0;
  uint32_t b = x < 0 ? (x == INT32_MIN ? 0x7FFFFFFFu : static_cast<uint32_t>(-x)) : static_cast<uint32_t>(x);
  int32_t count = 0;
  while (b < 0x40000000u) {
    b <<= 1;
    ++count;
  }
  return count & 0xFFFF;
}

int serrin_rfft256_q(const FixedPair* in, FixedPair* out) {
  const Tables& t = T();
  const int n = ShiftOf(MagnitudeOr(in));
  const float scale = std::ldexp(1.0f, n - 3);
  Cpx z[kN];
  for (int i = 0; i < kN; ++i) {
    const FixedPair& p = in[t.bitrev[i]];
    z[i] = {static_cast<float>(p.re) * scale, static_cast<float>(p.im) * scale};
  }
  Passes(z, false, 1);
  // Real split with 0.25 on both members: half of the true spectrum.
  out[0].re = ToInt(0.5f * (z[0].re + z[0].im));
  out[0].im = ToInt(0.5f * (z[0].re - z[0].im));
  for (int k = 1; k <= kN / 2; ++k) {
    const int j = kN - k;
    const Cpx a = z[k];
    const Cpx b = {z[j].re, -z[j].im};  // conj Z[128 - k]
    const Cpx even = {a.re + b.re, a.im + b.im};
    const Cpx diff = {a.re - b.re, a.im - b.im};
    const Cpx w = t.split[k];
    const Cpx odd = {w.re * diff.re - w.im * diff.im, w.re * diff.im + w.im * diff.re};
    // X[k] = even - i odd; X[j] = conj(even + i odd)
    out[k].re = ToInt(0.25f * (even.re + odd.im));
    out[k].im = ToInt(0.25f * (even.im - odd.re));
    if (j != k) {
      out[j].re = ToInt(0.25f * (even.re - odd.im));
      out[j].im = ToInt(-0.25f * (even.im + odd.re));
    }
  }
  return 2 - n;
}

int serrin_irfft256_q(const FixedPair* in, FixedPair* out) {
  const Tables& t = T();
  const int n = ShiftOf(MagnitudeOr(in));
  const float scale = std::ldexp(1.0f, n - 3);
  Cpx y[kN];
  for (int i = 0; i < kN; ++i) {
    y[i] = {static_cast<float>(in[i].re) * scale, static_cast<float>(in[i].im) * scale};
  }
  // Merge: Z[k] = (Y[k] + conj Y[128-k]) + i e^(+2 pi i k/256) (Y[k] - conj Y[128-k]),
  // written straight into bit-reversed order.
  Cpx z[kN];
  z[t.bitrev[0]] = {y[0].re + y[0].im, y[0].re - y[0].im};
  for (int k = 1; k <= kN / 2; ++k) {
    const int j = kN - k;
    const Cpx a = y[k];
    const Cpx b = {y[j].re, -y[j].im};
    const Cpx sum = {a.re + b.re, a.im + b.im};
    const Cpx diff = {a.re - b.re, a.im - b.im};
    const Cpx w = {t.split[k].re, -t.split[k].im};
    const Cpx wd = {w.re * diff.re - w.im * diff.im, w.re * diff.im + w.im * diff.re};
    // Z[k] = sum + i wd; Z[j] = conj(sum - i wd)
    z[t.bitrev[k]] = {sum.re - wd.im, sum.im + wd.re};
    if (j != k) z[t.bitrev[j]] = {sum.re + wd.im, wd.re - sum.im};
  }
  Passes(z, true, -1);
  for (int i = 0; i < kN; ++i) out[i] = {ToInt(z[i].re), ToInt(z[i].im)};
  return 10 - n;
}
