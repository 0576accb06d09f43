// The fixed-point kernels of the resampler.
#include <cstring>

#include "resampler.h"

namespace {

// Input of one kernel call seen together with the history before it.
class HistoryView {
 public:
  HistoryView(const int16_t* history, int h, const int16_t* in, int n) : in_(in), h_(h) {
    std::memcpy(buf_, history, h * sizeof(int16_t));
    std::memcpy(buf_ + h, in, (n < h ? n : h) * sizeof(int16_t));
  }
  // Pointer to input sample e (0 <= e < n); p[-k] is sample e - k for k <= h.
  const int16_t* At(int e) const { return e >= h_ ? in_ + e : buf_ + h_ + e; }

 private:
  int16_t buf_[256];
  const int16_t* in_;
  int h_;
};

// The newest h samples of history followed by input become the history.
void KeepHistory(int16_t* history, int h, const int16_t* in, int n) {
  if (n >= h) {
    std::memcpy(history, in + n - h, h * sizeof(int16_t));
  } else {
    std::memmove(history, history + n, (h - n) * sizeof(int16_t));
    std::memcpy(history + h - n, in, n * sizeof(int16_t));
  }
}

int16_t Saturate(int32_t acc) {
  const int32_t v = acc >> 15;
  return static_cast<int16_t>(v > 32760 ? 32760 : (v < -32761 ? -32761 : v));
}

int16_t Truncate(int32_t acc) { return static_cast<int16_t>(acc >> 15); }

// "Hold each input `factor` times, filter, keep every `step`-th output" through per-phase
// filters of `width` taps.
template <int16_t (*Finish)(int32_t)>
int HeldFilter(int16_t* history, int h, const int16_t* phases, int width, int factor, int step, const int16_t* in,
               int n, int16_t* out) {
  HistoryView view(history, h, in, n);
  int k = 0;
  for (int u = 0; u < n * factor; u += step) {
    const int16_t* p = view.At(u / factor);
    const int16_t* c = phases + (u % factor) * width;
    int32_t acc = 0;
    for (int j = 0; j < width; ++j) acc += c[j] * p[-j];
    out[k++] = Finish(acc);
  }
  KeepHistory(history, h, in, n);
  return k;
}

// Filter with `taps` coefficients, one output per `factor` inputs, lined up with the first
// input of its group.
template <int16_t (*Finish)(int32_t)>
int Decimate(int16_t* history, const int16_t* coeffs, int taps, int factor, const int16_t* in, int n, int16_t* out) {
  const int h = taps - 1;
  HistoryView view(history, h, in, n);
  int k = 0;
  for (int e = 0; e < n; e += factor) {
    const int16_t* p = view.At(e);
    int32_t acc = 0;
    for (int t = 0; t < taps; ++t) acc += coeffs[t] * p[-t];
    out[k++] = Finish(acc);
  }
  KeepHistory(history, h, in, n);
  return k;
}

// 16-tap rows, one per output phase; inputs are taken in chunks of at most 960 samples.
int Convert(ConverterState* s, const int16_t (*rows)[16], int block_in, int block_out, const int16_t* in, int n,
            int16_t* out) {
  const int chunk_max = 960 / block_in * block_in;
  int written = 0;
  for (int done = 0; done + block_in <= n;) {
    int m = n - done;
    if (m > chunk_max) m = chunk_max;
    m = m / block_in * block_in;
    std::memcpy(s->work + 15, in + done, m * sizeof(int16_t));
    for (int i = 0; i < m / block_in; ++i) {
      for (int k = 0; k < block_out; ++k) {
        const int p = 15 + k * block_in / block_out + i * block_in;
        const int16_t* row = rows[k];
        float sum = 0.0f;
        for (int t = 0; t < 16; ++t) sum += static_cast<float>((s->work[p - t] * row[t]) >> 15);
        const int v = static_cast<int>(sum);
        out[written++] = static_cast<int16_t>(v > 32767 ? 32767 : (v < -32768 ? -32768 : v));
      }
    }
    std::memcpy(s->work, s->work + m, 15 * sizeof(int16_t));
    done += m;
  }
  return written;
}

}  // namespace

int Resampler::Up2(TableFilterState* s, const int16_t* in, int n, int16_t* out) {
  s->table = s->tables->t2;
  return HeldFilter<Saturate>(s->history, 23, &s->tables->up2_phase[0][0], 24, 2, 1, in, n, out);
}

int Resampler::Up4(TableFilterState* s, const int16_t* in, int n, int16_t* out) {
  s->table = s->tables->t4;
  return HeldFilter<Saturate>(s->history, 12, &s->tables->up4_phase[0][0], 13, 4, 1, in, n, out);
}

int Resampler::Down2(TableFilterState* s, const int16_t* in, int n, int16_t* out) {
  s->table = s->tables->t2;
  return Decimate<Saturate>(s->history, s->table + 1, 47, 2, in, n, out);
}

int Resampler::Down4(TableFilterState* s, const int16_t* in, int n, int16_t* out) {
  s->table = s->tables->t4;
  return Decimate<Saturate>(s->history, s->table + 1, 47, 4, in, n, out);
}

int Resampler::Up3(HoldFilterState* s, const int16_t* in, int n, int16_t* out) {
  return HeldFilter<Saturate>(s->history, 21, &s->tables->up3_phase[0][0], 22, 3, 1, in, n, out);
}

int Resampler::Up6(HoldFilterState* s, const int16_t* in, int n, int16_t* out) {
  return HeldFilter<Saturate>(s->history, 11, &s->tables->up6_phase[0][0], 12, 6, 1, in, n, out);
}

int Resampler::Up3Down2(HoldFilterState* s, const int16_t* in, int n, int16_t* out) {
  return HeldFilter<Saturate>(s->history, 21, &s->tables->up3_phase[0][0], 22, 3, 2, in, n, out);
}

int Resampler::Up2Down3(HoldFilterState* s, const int16_t* in, int n, int16_t* out) {
  return HeldFilter<Truncate>(s->history, 31, &s->tables->up2down3_phase[0][0], 32, 2, 3, in, n, out);
}

int Resampler::Down3(HoldFilterState* s, const int16_t* in, int n, int16_t* out) {
  return Decimate<Truncate>(s->history, s->tables->p3 + 1, 63, 3, in, n, out);
}

int Resampler::Down6(HoldFilterState* s, const int16_t* in, int n, int16_t* out) {
  return Decimate<Truncate>(s->history, s->tables->p6 + 1, 63, 6, in, n, out);
}

int Resampler::Convert147To160(ConverterState* s, const int16_t* in, int n, int16_t* out) {
  return Convert(s, GetConverterTables().up, 147, 160, in, n, out);
}

int Resampler::Convert160To147(ConverterState* s, const int16_t* in, int n, int16_t* out) {
  return Convert(s, GetConverterTables().down, 160, 147, in, n, out);
}
