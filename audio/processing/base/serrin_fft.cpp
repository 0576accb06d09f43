#include "serrin_fft.h"

#include <cmath>
#include <cstring>

#if defined(__SSE__) || defined(_M_X64)
#include <xmmintrin.h>
#endif

namespace {

constexpr int kN = kSerrinFftSize;
constexpr int kRadices[] = {3, 5, 4, 4, 4};      // 960 = 3 * 5 * 64
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
// length that pass splits), kept as separate real and imaginary rows [j - 1][p]; and
// e^(-i pi k / 960) for the real split.
struct FftTables {
  float stage_re[kStages][4][kN / 3];
  float stage_im[kStages][4][kN / 3];
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
          stage_re[st][j - 1][p] = static_cast<float>(std::cos(a));
          stage_im[st][j - 1][p] = static_cast<float>(-std::sin(a));
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

// The transform works on split real and imaginary rows so that four butterflies of a
// pass run side by side in one vector (SSE), with the same operations in the same order
// as one at a time: the results do not depend on the path.
struct Rows {
  float* re;
  float* im;
};

// The loops over the R inputs and outputs of a butterfly are unrolled so that their
// values stay in registers.
#if defined(__GNUC__) && !defined(__clang__)
#define SERRIN_FFT_UNROLL _Pragma("GCC unroll 8")
#else
#define SERRIN_FFT_UNROLL
#endif

#if defined(__SSE__) || defined(_M_X64)
struct Vec {
  __m128 v;
  static Vec Load(const float* p) { return {_mm_loadu_ps(p)}; }
  static Vec Splat(float x) { return {_mm_set1_ps(x)}; }
  void Store(float* p) const { _mm_storeu_ps(p, v); }
};
inline Vec operator+(Vec a, Vec b) { return {_mm_add_ps(a.v, b.v)}; }
inline Vec operator-(Vec a, Vec b) { return {_mm_sub_ps(a.v, b.v)}; }
inline Vec operator*(Vec a, Vec b) { return {_mm_mul_ps(a.v, b.v)}; }
constexpr int kLanes = 4;
#else
struct Vec {
  float v;
  static Vec Load(const float* p) { return {*p}; }
  static Vec Splat(float x) { return {x}; }
  void Store(float* p) const { *p = v; }
};
inline Vec operator+(Vec a, Vec b) { return {a.v + b.v}; }
inline Vec operator-(Vec a, Vec b) { return {a.v - b.v}; }
inline Vec operator*(Vec a, Vec b) { return {a.v * b.v}; }
constexpr int kLanes = 1;
#endif

struct Scalar {
  float v;
  static Scalar Load(const float* p) { return {*p}; }
  static Scalar Splat(float x) { return {x}; }
  void Store(float* p) const { *p = v; }
};
inline Scalar operator+(Scalar a, Scalar b) { return {a.v + b.v}; }
inline Scalar operator-(Scalar a, Scalar b) { return {a.v - b.v}; }
inline Scalar operator*(Scalar a, Scalar b) { return {a.v * b.v}; }

// (x + i y) * (c + i s)
template <typename T>
inline void Twiddle(T x, T y, T c, T s, T* out_re, T* out_im) {
  *out_re = x * c - y * s;
  *out_im = x * s + y * c;
}

// Butterflies of radix 3, 4 and 5 on inputs a (re, im), writing outputs o; w are the
// twiddles of outputs 1..r-1 (none for the pass of one group, whose twiddles are all 1).
template <typename T>
inline void Butterfly3(const T* ar, const T* ai, const T* wr, const T* wi, T* orr, T* oi) {
  const T s60 = T::Splat(0.8660254f), half = T::Splat(0.5f);
  const T tr = ar[1] + ar[2], ti = ai[1] + ai[2];
  const T dre = (ar[1] - ar[2]) * s60, dim = (ai[1] - ai[2]) * s60;
  const T cr = ar[0] - tr * half, ci = ai[0] - ti * half;
  orr[0] = ar[0] + tr;
  oi[0] = ai[0] + ti;
  Twiddle(cr + dim, ci - dre, wr[0], wi[0], &orr[1], &oi[1]);
  Twiddle(cr - dim, ci + dre, wr[1], wi[1], &orr[2], &oi[2]);
}

template <typename T, bool kTwiddled>
inline void Butterfly4(const T* ar, const T* ai, const T* wr, const T* wi, T* orr, T* oi) {
  const T s02r = ar[0] + ar[2], s02i = ai[0] + ai[2], d02r = ar[0] - ar[2], d02i = ai[0] - ai[2];
  const T s13r = ar[1] + ar[3], s13i = ai[1] + ai[3], d13r = ar[1] - ar[3], d13i = ai[1] - ai[3];
  orr[0] = s02r + s13r;
  oi[0] = s02i + s13i;
  if (kTwiddled) {
    Twiddle(d02r + d13i, d02i - d13r, wr[0], wi[0], &orr[1], &oi[1]);
    Twiddle(s02r - s13r, s02i - s13i, wr[1], wi[1], &orr[2], &oi[2]);
    Twiddle(d02r - d13i, d02i + d13r, wr[2], wi[2], &orr[3], &oi[3]);
  } else {
    orr[1] = d02r + d13i;
    oi[1] = d02i - d13r;
    orr[2] = s02r - s13r;
    oi[2] = s02i - s13i;
    orr[3] = d02r - d13i;
    oi[3] = d02i + d13r;
  }
}

template <typename T>
inline void Butterfly5(const T* ar, const T* ai, const T* wr, const T* wi, T* orr, T* oi) {
  const T c1 = T::Splat(0.30901699f), c2 = T::Splat(-0.80901699f);
  const T s1 = T::Splat(0.95105652f), s2 = T::Splat(0.58778524f);
  const T t1r = ar[1] + ar[4], t1i = ai[1] + ai[4], t2r = ar[2] + ar[3], t2i = ai[2] + ai[3];
  const T t3r = ar[1] - ar[4], t3i = ai[1] - ai[4], t4r = ar[2] - ar[3], t4i = ai[2] - ai[3];
  const T m1r = ar[0] + (t1r * c1 + t2r * c2), m1i = ai[0] + (t1i * c1 + t2i * c2);
  const T m2r = ar[0] + (t1r * c2 + t2r * c1), m2i = ai[0] + (t1i * c2 + t2i * c1);
  const T n1r = t3r * s1 + t4r * s2, n1i = t3i * s1 + t4i * s2;
  const T n2r = t3r * s2 - t4r * s1, n2i = t3i * s2 - t4i * s1;
  orr[0] = ar[0] + (t1r + t2r);
  oi[0] = ai[0] + (t1i + t2i);
  Twiddle(m1r + n1i, m1i - n1r, wr[0], wi[0], &orr[1], &oi[1]);
  Twiddle(m2r + n2i, m2i - n2r, wr[1], wi[1], &orr[2], &oi[2]);
  Twiddle(m2r - n2i, m2i + n2r, wr[2], wi[2], &orr[3], &oi[3]);
  Twiddle(m1r - n1i, m1i + n1r, wr[3], wi[3], &orr[4], &oi[4]);
}

template <int R, typename T>
inline void Butterfly(const T* ar, const T* ai, const T* wr, const T* wi, T* orr, T* oi) {
  if (R == 3) Butterfly3(ar, ai, wr, wi, orr, oi);
  if (R == 4) Butterfly4<T, true>(ar, ai, wr, wi, orr, oi);
  if (R == 5) Butterfly5(ar, ai, wr, wi, orr, oi);
}

using TwiddleRows = const float (*)[kN / 3];

// One pass of the self-sorting (Stockham) decimation in frequency: the R inputs
// src[q + s (p + k m)] give the outputs dst[q + s (R p + j)], output j times the pass's
// twiddle j of p. Runs of q go four at a time; with s = 1, runs of p do.
template <int R>
void Pass(Rows src, Rows dst, int m, int s, TwiddleRows twr, TwiddleRows twi) {
  const int sm = s * m;
  if (s == 1) {
    int p = 0;
    for (; p + kLanes <= m; p += kLanes) {
      Vec ar[R], ai[R], wr[R - 1], wi[R - 1], orr[R], oi[R];
      SERRIN_FFT_UNROLL
      for (int k = 0; k < R; ++k) {
        ar[k] = Vec::Load(src.re + p + k * m);
        ai[k] = Vec::Load(src.im + p + k * m);
      }
      SERRIN_FFT_UNROLL
      for (int j = 0; j + 1 < R; ++j) {
        wr[j] = Vec::Load(twr[j] + p);
        wi[j] = Vec::Load(twi[j] + p);
      }
      Butterfly<R>(ar, ai, wr, wi, orr, oi);
      float lanes_re[R][kLanes], lanes_im[R][kLanes];
      SERRIN_FFT_UNROLL
      for (int j = 0; j < R; ++j) {
        orr[j].Store(lanes_re[j]);
        oi[j].Store(lanes_im[j]);
      }
      SERRIN_FFT_UNROLL
      for (int l = 0; l < kLanes; ++l) {
        SERRIN_FFT_UNROLL
        for (int j = 0; j < R; ++j) {
          dst.re[R * (p + l) + j] = lanes_re[j][l];
          dst.im[R * (p + l) + j] = lanes_im[j][l];
        }
      }
    }
    for (; p < m; ++p) {
      Scalar ar[R], ai[R], wr[R - 1], wi[R - 1], orr[R], oi[R];
      SERRIN_FFT_UNROLL
      for (int k = 0; k < R; ++k) {
        ar[k] = {src.re[p + k * m]};
        ai[k] = {src.im[p + k * m]};
      }
      SERRIN_FFT_UNROLL
      for (int j = 0; j + 1 < R; ++j) {
        wr[j] = {twr[j][p]};
        wi[j] = {twi[j][p]};
      }
      Butterfly<R>(ar, ai, wr, wi, orr, oi);
      SERRIN_FFT_UNROLL
      for (int j = 0; j < R; ++j) {
        dst.re[R * p + j] = orr[j].v;
        dst.im[R * p + j] = oi[j].v;
      }
    }
    return;
  }
  for (int p = 0; p < m; ++p) {
    const float* sr = src.re + s * p;
    const float* si = src.im + s * p;
    float* dr = dst.re + s * R * p;
    float* di = dst.im + s * R * p;
    int q = 0;
    Vec vwr[R - 1], vwi[R - 1];
    Scalar swr[R - 1], swi[R - 1];
    SERRIN_FFT_UNROLL
    for (int j = 0; j + 1 < R; ++j) {
      vwr[j] = Vec::Splat(twr[j][p]);
      vwi[j] = Vec::Splat(twi[j][p]);
      swr[j] = {twr[j][p]};
      swi[j] = {twi[j][p]};
    }
    for (; q + kLanes <= s; q += kLanes) {
      Vec ar[R], ai[R], orr[R], oi[R];
      SERRIN_FFT_UNROLL
      for (int k = 0; k < R; ++k) {
        ar[k] = Vec::Load(sr + q + k * sm);
        ai[k] = Vec::Load(si + q + k * sm);
      }
      Butterfly<R>(ar, ai, vwr, vwi, orr, oi);
      SERRIN_FFT_UNROLL
      for (int j = 0; j < R; ++j) {
        orr[j].Store(dr + q + j * s);
        oi[j].Store(di + q + j * s);
      }
    }
    for (; q < s; ++q) {
      Scalar ar[R], ai[R], orr[R], oi[R];
      SERRIN_FFT_UNROLL
      for (int k = 0; k < R; ++k) {
        ar[k] = {sr[q + k * sm]};
        ai[k] = {si[q + k * sm]};
      }
      Butterfly<R>(ar, ai, swr, swi, orr, oi);
      SERRIN_FFT_UNROLL
      for (int j = 0; j < R; ++j) {
        dr[q + j * s] = orr[j].v;
        di[q + j * s] = oi[j].v;
      }
    }
  }
}

// The last pass: one group (m = 1), all twiddles 1.
void Pass4Last(Rows src, Rows dst, int s) {
  int q = 0;
  for (; q + kLanes <= s; q += kLanes) {
    Vec ar[4], ai[4], orr[4], oi[4];
    SERRIN_FFT_UNROLL
    for (int k = 0; k < 4; ++k) {
      ar[k] = Vec::Load(src.re + q + k * s);
      ai[k] = Vec::Load(src.im + q + k * s);
    }
    Butterfly4<Vec, false>(ar, ai, nullptr, nullptr, orr, oi);
    SERRIN_FFT_UNROLL
    for (int j = 0; j < 4; ++j) {
      orr[j].Store(dst.re + q + j * s);
      oi[j].Store(dst.im + q + j * s);
    }
  }
  for (; q < s; ++q) {
    Scalar ar[4], ai[4], orr[4], oi[4];
    SERRIN_FFT_UNROLL
    for (int k = 0; k < 4; ++k) {
      ar[k] = {src.re[q + k * s]};
      ai[k] = {src.im[q + k * s]};
    }
    Butterfly4<Scalar, false>(ar, ai, nullptr, nullptr, orr, oi);
    SERRIN_FFT_UNROLL
    for (int j = 0; j < 4; ++j) {
      dst.re[q + j * s] = orr[j].v;
      dst.im[q + j * s] = oi[j].v;
    }
  }
}

// Forward complex transform of data (conjugated on the way in when `conjugate`), the
// result scaled by `scale` and, when `conjugate`, conjugated on the way out.
void Transform(SerrinComplex* data, bool conjugate, float scale) {
  const FftTables& t = Tables();
  alignas(16) float store[4][kN];
  Rows a{store[0], store[1]};
  Rows b{store[2], store[3]};
  const float sign = conjugate ? -1.0f : 1.0f;
  for (int k = 0; k < kN; ++k) {
    a.re[k] = data[k].re;
    a.im[k] = sign * data[k].im;
  }
  int n = kN;
  int stride = 1;
  for (int st = 0; st < kStages; ++st) {
    const int r = kRadices[st];
    const int m = n / r;
    if (m == 1 && r == 4) {
      Pass4Last(a, b, stride);
    } else if (r == 3) {
      Pass<3>(a, b, m, stride, t.stage_re[st], t.stage_im[st]);
    } else if (r == 4) {
      Pass<4>(a, b, m, stride, t.stage_re[st], t.stage_im[st]);
    } else {
      Pass<5>(a, b, m, stride, t.stage_re[st], t.stage_im[st]);
    }
    n = m;
    stride *= r;
    const Rows tmp = a;
    a = b;
    b = tmp;
  }
  if (scale == 1.0f) {
    for (int k = 0; k < kN; ++k) data[k] = {a.re[k], a.im[k]};
    return;
  }
  const float im_scale = sign * scale;
  for (int k = 0; k < kN; ++k) data[k] = {a.re[k] * scale, a.im[k] * im_scale};
}

}  // namespace

void serrin_fft960(SerrinComplex* data, int direction) {
  if (direction == 1) {
    Transform(data, false, 1.0f);
    return;
  }
  Transform(data, true, kInverseScale);
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
