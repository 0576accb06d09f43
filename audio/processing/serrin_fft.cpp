#include "serrin_fft.h"

#include <cmath>
#include <cstring>

namespace {

constexpr int kN = kSerrinFftSize;
constexpr int kRadices[] = {3, 5, 4, 4, 4};  // 960 = 3 * 5 * 64
constexpr float kInverseScale = 0.00026041668f;  // 1 / 3840

inline SerrinComplex Add(SerrinComplex a, SerrinComplex b) { return {a.re + b.re, a.im + b.im}; }
inline SerrinComplex Sub(SerrinComplex a, SerrinComplex b) { return {a.re - b.re, a.im - b.im}; }
inline SerrinComplex Mul(SerrinComplex a, SerrinComplex b) {
  return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
}
inline SerrinComplex Scale(SerrinComplex a, float s) { return {a.re * s, a.im * s}; }
inline SerrinComplex Conj(SerrinComplex a) { return {a.re, -a.im}; }
inline SerrinComplex MulMinusI(SerrinComplex a) { return {a.im, -a.re}; }  // -i * a
inline SerrinComplex MulPlusI(SerrinComplex a) { return {-a.im, a.re}; }   // +i * a

constexpr int kStages = sizeof(kRadices) / sizeof(kRadices[0]);

// Precomputed factors: per pass, e^(-2 pi i j p / n) for j = 1..r-1 and p < n / r (n the
// length that pass splits); and e^(-i pi k / 960) for the real split.
struct FftTables {
  SerrinComplex stage[kStages][kN];  // index p * (r - 1) + j - 1
  SerrinComplex split[kN / 2 + 1];
  FftTables() {
    const double pi = 3.14159265358979323846;
    int n = kN;
    for (int st = 0; st < kStages; ++st) {
      const int r = kRadices[st];
      const int m = n / r;
      for (int p = 0; p < m; ++p) {
        for (int j = 1; j < r; ++j) {
          const double a = 2.0 * pi * j * p / n;
          stage[st][p * (r - 1) + j - 1] = {static_cast<float>(std::cos(a)),
                                            static_cast<float>(-std::sin(a))};
        }
      }
      n = m;
    }
    for (int k = 0; k <= kN / 2; ++k) {
      split[k].re = static_cast<float>(std::cos(pi * k / kN));
      split[k].im = static_cast<float>(-std::sin(pi * k / kN));
    }
  }
};

const FftTables& Tables() {
  static const FftTables tables;
  return tables;
}

// One pass of the self-sorting (Stockham) decimation in frequency: the r inputs
// src[q + s (p + k m)] give the outputs dst[q + s (r p + j)], each times its twiddle.
void Pass3(const SerrinComplex* src, SerrinComplex* dst, int m, int s, const SerrinComplex* tw) {
  const float s60 = 0.8660254f;
  for (int p = 0; p < m; ++p) {
    const SerrinComplex w1 = tw[2 * p], w2 = tw[2 * p + 1];
    for (int q = 0; q < s; ++q) {
      const SerrinComplex a0 = src[q + s * p];
      const SerrinComplex a1 = src[q + s * (p + m)];
      const SerrinComplex a2 = src[q + s * (p + 2 * m)];
      const SerrinComplex t = Add(a1, a2);
      const SerrinComplex d = Scale(Sub(a1, a2), s60);
      const SerrinComplex c = Sub(a0, Scale(t, 0.5f));
      SerrinComplex* o = dst + q + s * 3 * p;
      o[0] = Add(a0, t);
      o[s] = Mul(Add(c, MulMinusI(d)), w1);
      o[2 * s] = Mul(Add(c, MulPlusI(d)), w2);
    }
  }
}

void Pass4(const SerrinComplex* src, SerrinComplex* dst, int m, int s, const SerrinComplex* tw) {
  for (int p = 0; p < m; ++p) {
    const SerrinComplex w1 = tw[3 * p], w2 = tw[3 * p + 1], w3 = tw[3 * p + 2];
    for (int q = 0; q < s; ++q) {
      const SerrinComplex a0 = src[q + s * p];
      const SerrinComplex a1 = src[q + s * (p + m)];
      const SerrinComplex a2 = src[q + s * (p + 2 * m)];
      const SerrinComplex a3 = src[q + s * (p + 3 * m)];
      const SerrinComplex s02 = Add(a0, a2), d02 = Sub(a0, a2);
      const SerrinComplex s13 = Add(a1, a3), d13 = Sub(a1, a3);
      SerrinComplex* o = dst + q + s * 4 * p;
      o[0] = Add(s02, s13);
      o[s] = Mul(Add(d02, MulMinusI(d13)), w1);
      o[2 * s] = Mul(Sub(s02, s13), w2);
      o[3 * s] = Mul(Add(d02, MulPlusI(d13)), w3);
    }
  }
}

void Pass5(const SerrinComplex* src, SerrinComplex* dst, int m, int s, const SerrinComplex* tw) {
  const float c1 = 0.30901699f, c2 = -0.80901699f;
  const float s1 = 0.95105652f, s2 = 0.58778524f;
  for (int p = 0; p < m; ++p) {
    const SerrinComplex w1 = tw[4 * p], w2 = tw[4 * p + 1], w3 = tw[4 * p + 2], w4 = tw[4 * p + 3];
    for (int q = 0; q < s; ++q) {
      const SerrinComplex a0 = src[q + s * p];
      const SerrinComplex a1 = src[q + s * (p + m)];
      const SerrinComplex a2 = src[q + s * (p + 2 * m)];
      const SerrinComplex a3 = src[q + s * (p + 3 * m)];
      const SerrinComplex a4 = src[q + s * (p + 4 * m)];
      const SerrinComplex t1 = Add(a1, a4), t2 = Add(a2, a3);
      const SerrinComplex t3 = Sub(a1, a4), t4 = Sub(a2, a3);
      const SerrinComplex m1 = Add(a0, Add(Scale(t1, c1), Scale(t2, c2)));
      const SerrinComplex m2 = Add(a0, Add(Scale(t1, c2), Scale(t2, c1)));
      const SerrinComplex n1 = Add(Scale(t3, s1), Scale(t4, s2));
      const SerrinComplex n2 = Sub(Scale(t3, s2), Scale(t4, s1));
      SerrinComplex* o = dst + q + s * 5 * p;
      o[0] = Add(a0, Add(t1, t2));
      o[s] = Mul(Add(m1, MulMinusI(n1)), w1);
      o[2 * s] = Mul(Add(m2, MulMinusI(n2)), w2);
      o[3 * s] = Mul(Add(m2, MulPlusI(n2)), w3);
      o[4 * s] = Mul(Add(m1, MulPlusI(n1)), w4);
    }
  }
}

void ForwardComplex(SerrinComplex* data) {
  const FftTables& t = Tables();
  SerrinComplex scratch[kN];
  SerrinComplex* src = data;
  SerrinComplex* dst = scratch;
  int n = kN;
  int stride = 1;
  for (int st = 0; st < kStages; ++st) {
    const int r = kRadices[st];
    const int m = n / r;
    switch (r) {
      case 3: Pass3(src, dst, m, stride, t.stage[st]); break;
      case 4: Pass4(src, dst, m, stride, t.stage[st]); break;
      default: Pass5(src, dst, m, stride, t.stage[st]); break;
    }
    n = m;
    stride *= r;
    SerrinComplex* tmp = src;
    src = dst;
    dst = tmp;
  }
  if (src != data) std::memcpy(data, src, sizeof(scratch));
}

}  // namespace

void serrin_fft960(SerrinComplex* data, int direction) {
  if (direction == 1) {
    ForwardComplex(data);
    return;
  }
  for (int k = 0; k < kN; ++k) data[k].im = -data[k].im;
  ForwardComplex(data);
  for (int k = 0; k < kN; ++k) {
    data[k].re *= kInverseScale;
    data[k].im = -data[k].im * kInverseScale;
  }
}

void serrin_rfft1920(SerrinComplex* data, int direction) {
  const FftTables& t = Tables();
  if (direction == 1) {
    serrin_fft960(data, 1);
    const SerrinComplex z0 = data[0];
    data[0] = {2.0f * (z0.re + z0.im), 2.0f * (z0.re - z0.im)};
    for (int k = 1; k < kN / 2; ++k) {
      const int j = kN - k;
      SerrinComplex a = data[k];
      SerrinComplex b = Conj(data[j]);
      SerrinComplex even = Add(a, b);
      SerrinComplex odd = Mul(t.split[k], Sub(a, b));  // W_k (A - B)
      data[k] = Add(even, MulMinusI(odd));
      data[j] = Conj(Add(even, MulPlusI(odd)));
    }
    data[kN / 2] = Scale(Conj(data[kN / 2]), 2.0f);
    return;
  }
  const SerrinComplex x0 = data[0];
  data[0] = {x0.re + x0.im, x0.re - x0.im};
  for (int k = 1; k < kN / 2; ++k) {
    const int j = kN - k;
    SerrinComplex a = data[k];
    SerrinComplex b = Conj(data[j]);
    SerrinComplex sum = Add(a, b);
    SerrinComplex diff = Mul(Conj(t.split[k]), Sub(a, b));  // e^(+i pi k/960) (A - B)
    data[k] = Add(sum, MulPlusI(diff));
    data[j] = Conj(Sub(sum, MulPlusI(diff)));
  }
  data[kN / 2] = Scale(Conj(data[kN / 2]), 2.0f);
  serrin_fft960(data, -1);
}
