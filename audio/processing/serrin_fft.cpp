#include "serrin_fft.h"

#include <cmath>
#include <cstring>

namespace {

constexpr int kN = kSerrinFftSize;
constexpr int kRadices[] = {3, 5, 4, 4, 4};  // 960 = 3 * 5 * 64
constexpr float kInverseScale = 0.00026041668f;  // 1 / 3840

// Precomputed factors: e^(-2 pi i k / 960) for the complex passes and e^(-i pi k / 960)
// for the real split.
struct FftTables {
  SerrinComplex twiddle[kN];
  SerrinComplex split[kN / 2 + 1];
  FftTables() {
    const double pi = 3.14159265358979323846;
    for (int k = 0; k < kN; ++k) {
      twiddle[k].re = static_cast<float>(std::cos(2.0 * pi * k / kN));
      twiddle[k].im = static_cast<float>(-std::sin(2.0 * pi * k / kN));
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

inline SerrinComplex Add(SerrinComplex a, SerrinComplex b) { return {a.re + b.re, a.im + b.im}; }
inline SerrinComplex Sub(SerrinComplex a, SerrinComplex b) { return {a.re - b.re, a.im - b.im}; }
inline SerrinComplex Mul(SerrinComplex a, SerrinComplex b) {
  return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
}
inline SerrinComplex Scale(SerrinComplex a, float s) { return {a.re * s, a.im * s}; }
inline SerrinComplex Conj(SerrinComplex a) { return {a.re, -a.im}; }
inline SerrinComplex MulMinusI(SerrinComplex a) { return {a.im, -a.re}; }  // -i * a
inline SerrinComplex MulPlusI(SerrinComplex a) { return {-a.im, a.re}; }   // +i * a

// Forward DFT of the r inputs a[0..r-1] into b[0..r-1] for r = 3, 4 or 5.
inline void Butterfly(int r, const SerrinComplex* a, SerrinComplex* b) {
  switch (r) {
    case 3: {
      const float s60 = 0.8660254f;
      SerrinComplex t = Add(a[1], a[2]);
      SerrinComplex d = Scale(Sub(a[1], a[2]), s60);
      SerrinComplex m = Sub(a[0], Scale(t, 0.5f));
      b[0] = Add(a[0], t);
      b[1] = Add(m, MulMinusI(d));
      b[2] = Add(m, MulPlusI(d));
      break;
    }
    case 4: {
      SerrinComplex s02 = Add(a[0], a[2]);
      SerrinComplex d02 = Sub(a[0], a[2]);
      SerrinComplex s13 = Add(a[1], a[3]);
      SerrinComplex d13 = Sub(a[1], a[3]);
      b[0] = Add(s02, s13);
      b[1] = Add(d02, MulMinusI(d13));
      b[2] = Sub(s02, s13);
      b[3] = Add(d02, MulPlusI(d13));
      break;
    }
    default: {  // 5
      const float c1 = 0.30901699f, c2 = -0.80901699f;
      const float s1 = 0.95105652f, s2 = 0.58778524f;
      SerrinComplex t1 = Add(a[1], a[4]);
      SerrinComplex t2 = Add(a[2], a[3]);
      SerrinComplex t3 = Sub(a[1], a[4]);
      SerrinComplex t4 = Sub(a[2], a[3]);
      SerrinComplex m1 = Add(a[0], Add(Scale(t1, c1), Scale(t2, c2)));
      SerrinComplex m2 = Add(a[0], Add(Scale(t1, c2), Scale(t2, c1)));
      SerrinComplex n1 = Add(Scale(t3, s1), Scale(t4, s2));
      SerrinComplex n2 = Sub(Scale(t3, s2), Scale(t4, s1));
      b[0] = Add(a[0], Add(t1, t2));
      b[1] = Add(m1, MulMinusI(n1));
      b[4] = Add(m1, MulPlusI(n1));
      b[2] = Add(m2, MulMinusI(n2));
      b[3] = Add(m2, MulPlusI(n2));
      break;
    }
  }
}

// Self-sorting (Stockham) decimation in frequency: each pass reads src and writes dst
// with the twiddles of its stage, so the last pass leaves the bins in natural order.
void ForwardComplex(SerrinComplex* data) {
  const FftTables& t = Tables();
  SerrinComplex scratch[kN];
  SerrinComplex* src = data;
  SerrinComplex* dst = scratch;
  int n = kN;
  int stride = 1;
  for (int r : kRadices) {
    const int m = n / r;
    for (int p = 0; p < m; ++p) {
      for (int q = 0; q < stride; ++q) {
        SerrinComplex a[5];
        SerrinComplex b[5];
        for (int k = 0; k < r; ++k) a[k] = src[q + stride * (p + k * m)];
        Butterfly(r, a, b);
        dst[q + stride * (r * p)] = b[0];
        for (int j = 1; j < r; ++j) {
          dst[q + stride * (r * p + j)] = Mul(b[j], t.twiddle[(j * p * stride) % kN]);
        }
      }
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
