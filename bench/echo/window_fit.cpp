// Designs the filter banks' prototype window and prints it as the C++ table of
// audio/processing/serrin/transform/prototype_window_table.inc.
//
// The table passes exactly through the window's characteristic values, keeps its maximum
// at 2054 and its minimum near 3840, and otherwise minimises, by Gauss-Newton steps with
// conjugate gradients inside,
//   wr * sum of squared reconstruction errors + ws * sum of squared second differences
//   + wt * sum of squared distances to a smooth target through the characteristic values.
//
// Reconstruction. With hop 960 and a 1920-point transform, output sample n of a frame is
// sum over D of c_D(n) times the pre-emphasised input D frames earlier, where for D odd
//   c_D(n) = sum over m + k = D of w[960m + n] * w[960k + 959 - n]
// (segments m, k = 0..5). The bank returns its input three frames later when c_3 = 1 and
// the other c_D = 0 for every n. The characteristic values fix all six w[960m] and
// w[5759], so that at n = 0 the five equations cannot all hold with a smooth window;
// the weights trade the remaining error there against smoothness.
//
// Usage: window_fit [wr ws wt [max_change]] > prototype_window_table.inc (the table holds
// window_fit 1e5 1e8 1 0.03: round trip 74 dB on white noise at -10 dBFS; what is left
// are echoes seven and nine frames late of about -65 dB at the frame boundaries, equal and
// opposite, so that a constant input comes back exact). Larger wr buys reconstruction
// with kinks that cost the adaptive filter several dB of echo removal (see the window
// study).
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kN = 5760;
constexpr int kSeg = 960;
constexpr int kDelay = 3;

struct Knot {
  int x;
  double y;
};

// The characteristic values, with the maximum at 2054 and the minimum placed where a
// parabola through 3840 and 4320 with that minimum value puts it.
constexpr Knot kKnots[] = {
    {0, -0.05463},     {960, 0.227248},   {1440, 0.619908},  {1920, 0.89224},   {2054, 0.907996},
    {2400, 0.805716},  {2880, 0.424815},  {3360, 0.048626},  {3840, -0.101363}, {3937, -0.103908},
    {4320, -0.063904}, {4800, -0.001662}, {5759, -0.005092},
};
constexpr int kKnotCount = sizeof(kKnots) / sizeof(kKnots[0]);
constexpr double kMax = 0.907996;
constexpr double kMin = -0.103908;

// Monotone piecewise-cubic (Fritsch-Carlson) through the knots.
std::vector<double> Target() {
  double slope[kKnotCount], tan[kKnotCount];
  for (int i = 0; i + 1 < kKnotCount; ++i) {
    slope[i] = (kKnots[i + 1].y - kKnots[i].y) / (kKnots[i + 1].x - kKnots[i].x);
  }
  tan[0] = slope[0];
  tan[kKnotCount - 1] = slope[kKnotCount - 2];
  for (int i = 1; i + 1 < kKnotCount; ++i) {
    tan[i] = (slope[i - 1] * slope[i] <= 0.0) ? 0.0 : 0.5 * (slope[i - 1] + slope[i]);
  }
  for (int i = 0; i + 1 < kKnotCount; ++i) {
    const double a = tan[i] / slope[i], b = tan[i + 1] / slope[i];
    const double s = a * a + b * b;
    if (s > 9.0) {
      const double t = 3.0 / std::sqrt(s);
      tan[i] = t * a * slope[i];
      tan[i + 1] = t * b * slope[i];
    }
  }
  std::vector<double> out(kN);
  int seg = 0;
  for (int j = 0; j < kN; ++j) {
    while (seg + 2 < kKnotCount && j > kKnots[seg + 1].x) ++seg;
    const double h = kKnots[seg + 1].x - kKnots[seg].x;
    const double t = (j - kKnots[seg].x) / h, t2 = t * t, t3 = t2 * t;
    out[j] = (2 * t3 - 3 * t2 + 1) * kKnots[seg].y + (t3 - 2 * t2 + t) * h * tan[seg] +
             (-2 * t3 + 3 * t2) * kKnots[seg + 1].y + (t3 - t2) * h * tan[seg + 1];
  }
  return out;
}

struct Problem {
  double wr, ws, wt;
  std::vector<double> target;
  std::vector<char> fixed;
};

// The five errors c_D - [D == 3] of a column enter as c_1, c_3 - 1, c_5, c_7 + c_9 and, with
// a small weight, c_7 - c_9: where the characteristic values leave no exact solution (the
// frame boundary) the error goes to echoes seven and nine frames late that cancel each
// other on a constant input, and nothing comes out before the delay.
constexpr double kSpread = 0.1;
constexpr double kMix[5][5] = {
    {1, 0, 0, 0, 0}, {0, 1, 0, 0, 0}, {0, 0, 1, 0, 0}, {0, 0, 0, 1, 1}, {0, 0, 0, kSpread, -kSpread},
};

// Column n's errors e[D index] at h (or its first-order change along v when v is given).
void ColumnErrors(const std::vector<double>& h, const std::vector<double>* v, int n, double* e) {
  for (int di = 0; di < 5; ++di) {
    const int d = 2 * di + 1;
    double c = 0.0;
    for (int m = 0; m < 6; ++m) {
      const int k = d - m;
      if (k < 0 || k > 5) continue;
      const int a = kSeg * m + n, b = kSeg * k + kSeg - 1 - n;
      c += v == nullptr ? h[a] * h[b] : (*v)[a] * h[b] + h[a] * (*v)[b];
    }
    e[di] = v == nullptr ? c - (d == kDelay ? 1.0 : 0.0) : c;
  }
}

// Residuals r(h): 480 x 5 reconstruction, kN - 2 second differences, kN target distances.
void Residuals(const Problem& p, const std::vector<double>& h, std::vector<double>* r) {
  r->clear();
  const double sr = std::sqrt(p.wr), ss = std::sqrt(p.ws), st = std::sqrt(p.wt);
  for (int n = 0; n < kSeg / 2; ++n) {
    double e[5];
    ColumnErrors(h, nullptr, n, e);
    for (const auto& row : kMix) {
      double x = 0.0;
      for (int di = 0; di < 5; ++di) x += row[di] * e[di];
      r->push_back(sr * x);
    }
  }
  for (int j = 1; j + 1 < kN; ++j) r->push_back(ss * (h[j - 1] - 2 * h[j] + h[j + 1]));
  for (int j = 0; j < kN; ++j) r->push_back(st * (h[j] - p.target[j]));
}

// J v at h (free coordinates of v only).
void Jv(const Problem& p, const std::vector<double>& h, const std::vector<double>& v, std::vector<double>* out) {
  out->clear();
  const double sr = std::sqrt(p.wr), ss = std::sqrt(p.ws), st = std::sqrt(p.wt);
  for (int n = 0; n < kSeg / 2; ++n) {
    double e[5];
    ColumnErrors(h, &v, n, e);
    for (const auto& row : kMix) {
      double x = 0.0;
      for (int di = 0; di < 5; ++di) x += row[di] * e[di];
      out->push_back(sr * x);
    }
  }
  for (int j = 1; j + 1 < kN; ++j) out->push_back(ss * (v[j - 1] - 2 * v[j] + v[j + 1]));
  for (int j = 0; j < kN; ++j) out->push_back(st * v[j]);
}

// J^T u at h, zero on fixed coordinates.
void JTu(const Problem& p, const std::vector<double>& h, const std::vector<double>& u, std::vector<double>* out) {
  out->assign(kN, 0.0);
  std::vector<double>& g = *out;
  const double sr = std::sqrt(p.wr), ss = std::sqrt(p.ws), st = std::sqrt(p.wt);
  size_t i = 0;
  for (int n = 0; n < kSeg / 2; ++n, i += 5) {
    for (int di = 0; di < 5; ++di) {
      double w = 0.0;
      for (int row = 0; row < 5; ++row) w += kMix[row][di] * u[i + row];
      const int d = 2 * di + 1;
      for (int m = 0; m < 6; ++m) {
        const int k = d - m;
        if (k < 0 || k > 5) continue;
        const int a = kSeg * m + n, b = kSeg * k + kSeg - 1 - n;
        g[a] += sr * w * h[b];
        g[b] += sr * w * h[a];
      }
    }
  }
  for (int j = 1; j + 1 < kN; ++j, ++i) {
    g[j - 1] += ss * u[i];
    g[j] -= 2 * ss * u[i];
    g[j + 1] += ss * u[i];
  }
  for (int j = 0; j < kN; ++j, ++i) g[j] += st * u[i];
  for (int j = 0; j < kN; ++j) {
    if (p.fixed[j]) g[j] = 0.0;
  }
}

double Dot(const std::vector<double>& a, const std::vector<double>& b) {
  double s = 0.0;
  for (size_t i = 0; i < a.size(); ++i) s += a[i] * b[i];
  return s;
}

// One Gauss-Newton step: solve (J^T J) dx = -J^T r by conjugate gradients.
double Step(const Problem& p, std::vector<double>* h) {
  std::vector<double> r, g, x(kN, 0.0), jv, q;
  Residuals(p, *h, &r);
  const double cost = Dot(r, r);
  JTu(p, *h, r, &g);
  std::vector<double> res(kN), dir(kN);
  for (int j = 0; j < kN; ++j) res[j] = -g[j];
  dir = res;
  double rr = Dot(res, res);
  const double rr0 = rr;
  for (int it = 0; it < 4000 && rr > 1e-24 * rr0; ++it) {
    Jv(p, *h, dir, &jv);
    JTu(p, *h, jv, &q);
    const double alpha = rr / Dot(dir, q);
    for (int j = 0; j < kN; ++j) {
      x[j] += alpha * dir[j];
      res[j] -= alpha * q[j];
    }
    const double rr2 = Dot(res, res);
    for (int j = 0; j < kN; ++j) dir[j] = res[j] + (rr2 / rr) * dir[j];
    rr = rr2;
  }
  for (int j = 0; j < kN; ++j) (*h)[j] += x[j];
  return cost;
}

// Makes the first `rows` mixed errors of column n zero by the least change of the column's
// free coordinates: four rows leave nothing before the delay, the delay exact and a
// constant input exact; the fifth makes the column exact.
void ProjectColumn(const Problem& p, int n, int rows, std::vector<double>* h) {
  int idx[12];
  for (int m = 0; m < 6; ++m) {
    idx[m] = kSeg * m + n;
    idx[6 + m] = kSeg * m + kSeg - 1 - n;
  }
  for (int iter = 0; iter < 30; ++iter) {
    double e[5];
    ColumnErrors(*h, nullptr, n, e);
    double g[5], jac[5][12];
    double norm = 0.0;
    for (int row = 0; row < rows; ++row) {
      g[row] = 0.0;
      for (int di = 0; di < 5; ++di) g[row] += kMix[row][di] * e[di];
      norm += g[row] * g[row];
      for (int k = 0; k < 12; ++k) {
        jac[row][k] = 0.0;
        if (p.fixed[idx[k]]) continue;
        std::vector<double> v(kN, 0.0);
        v[idx[k]] = 1.0;
        double de[5];
        ColumnErrors(*h, &v, n, de);
        for (int di = 0; di < 5; ++di) jac[row][k] += kMix[row][di] * de[di];
      }
    }
    if (norm < 1e-28) break;
    // Minimum-norm step: J^T (J J^T)^-1 (-g).
    double a[5][5], y[5];
    for (int i = 0; i < rows; ++i) {
      y[i] = -g[i];
      for (int j = 0; j < rows; ++j) {
        a[i][j] = i == j ? 1e-18 : 0.0;
        for (int k = 0; k < 12; ++k) a[i][j] += jac[i][k] * jac[j][k];
      }
    }
    for (int c = 0; c < rows; ++c) {
      for (int i = c + 1; i < rows; ++i) {
        const double f = a[i][c] / a[c][c];
        for (int k = c; k < rows; ++k) a[i][k] -= f * a[c][k];
        y[i] -= f * y[c];
      }
    }
    for (int c = rows - 1; c >= 0; --c) {
      for (int k = c + 1; k < rows; ++k) y[c] -= a[c][k] * y[k];
      y[c] /= a[c][c];
    }
    for (int k = 0; k < 12; ++k) {
      for (int i = 0; i < rows; ++i) (*h)[idx[k]] += jac[i][k] * y[i];
    }
  }
}

double Reconstruction(const std::vector<double>& h, double* worst) {
  double sum = 0.0;
  *worst = 0.0;
  for (int n = 0; n < kSeg; ++n) {
    for (int d = 1; d <= 9; d += 2) {
      double c = 0.0;
      for (int m = 0; m < 6; ++m) {
        const int k = d - m;
        if (k < 0 || k > 5) continue;
        c += h[kSeg * m + n] * h[kSeg * k + kSeg - 1 - n];
      }
      const double e = c - (d == kDelay ? 1.0 : 0.0);
      sum += e * e;
      *worst = std::fmax(*worst, std::fabs(e));
    }
  }
  return sum / kSeg;
}

}  // namespace

int main(int argc, char** argv) {
  Problem p;
  p.wr = argc > 1 ? std::atof(argv[1]) : 1e5;
  p.ws = argc > 2 ? std::atof(argv[2]) : 1e8;
  p.wt = argc > 3 ? std::atof(argv[3]) : 1.0;
  p.target = Target();
  p.fixed.assign(kN, 0);
  for (const Knot& k : kKnots) p.fixed[k.x] = 1;
  std::vector<double> h = p.target;
  // Active set: a coordinate that crosses the maximum or the minimum is held at it.
  for (int round = 0; round < 20; ++round) {
    for (int it = 0; it < 12; ++it) Step(p, &h);
    int added = 0;
    for (int j = 0; j < kN; ++j) {
      if (p.fixed[j]) continue;
      if (h[j] > kMax - 1e-6) {
        h[j] = kMax - 1e-6;
        p.fixed[j] = 1;
        ++added;
      } else if (h[j] < kMin + 1e-6) {
        h[j] = kMin + 1e-6;
        p.fixed[j] = 1;
        ++added;
      }
    }
    if (added == 0) break;
  }
  // Then every column is made exact where a change below max_change does it, else exact
  // but for the split between the echoes seven and nine frames late.
  const double max_change = argc > 4 ? std::atof(argv[4]) : 0.03;
  int exact = 0;
  for (int n = 0; n < kSeg / 2; ++n) {
    std::vector<double> full = h;
    ProjectColumn(p, n, 5, &full);
    double change = 0.0, e[5];
    bool inside = true;
    for (int j = 0; j < kN; ++j) {
      change = std::fmax(change, std::fabs(full[j] - h[j]));
      if (!p.fixed[j] && (full[j] >= kMax || full[j] <= kMin)) inside = false;
    }
    ColumnErrors(full, nullptr, n, e);
    if (inside && change <= max_change && std::fabs(e[3]) + std::fabs(e[4]) < 1e-9) {
      h.swap(full);
      ++exact;
    } else {
      ProjectColumn(p, n, 4, &h);
    }
  }
  std::fprintf(stderr, "columns made exact: %d of %d\n", exact, kSeg / 2);
  double worst = 0.0;
  const double mse = Reconstruction(h, &worst);
  std::fprintf(stderr, "wr %g ws %g wt %g: reconstruction error rms %.3g (%.1f dB), worst %.3g\n", p.wr, p.ws, p.wt,
               std::sqrt(mse), 10.0 * std::log10(mse + 1e-300), worst);
  int held = 0;
  for (int j = 0; j < kN; ++j) held += p.fixed[j];
  double rough = 0.0;
  int argmax = 0, argmin = 0;
  for (int j = 0; j < kN; ++j) {
    if (h[j] > h[argmax]) argmax = j;
    if (h[j] < h[argmin]) argmin = j;
    if (j > 0 && j + 1 < kN) rough = std::fmax(rough, std::fabs(h[j - 1] - 2 * h[j] + h[j + 1]));
  }
  std::fprintf(stderr, "held coordinates: %d, maximum at %d, minimum at %d, largest second difference %.3g\n", held,
               argmax, argmin, rough);
  for (int j = 0; j < kN; ++j) {
    std::printf("%.9gf,%s", static_cast<float>(h[j]), (j % 6 == 5) ? "\n" : " ");
  }
  return 0;
}
