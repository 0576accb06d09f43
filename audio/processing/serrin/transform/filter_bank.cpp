#include "filter_bank.h"

#include <cstring>

#include "prototype_window.h"

namespace {
constexpr float kEmphasis = 0.9f;

int16_t SaturateToInt16(float v) {
  if (v >= 32767.0f) return 32767;
  if (v <= -32768.0f) return -32768;
  return static_cast<int16_t>(v);  // truncation toward zero
}
}  // namespace

void serrin_analysis_init(AnalysisBank* bank) { serrin_analysis_init_window(bank, serrin_prototype_window()); }

void serrin_analysis_init_window(AnalysisBank* bank, const float* proto) {
  bank->memory = 0.0f;
  std::memset(bank->storage, 0, sizeof(bank->storage));
  for (int j = 0; j < kBankAges * kBankFrame; ++j) {
    bank->window[j] = proto[kBankAges * kBankFrame - 1 - j];
  }
  for (int m = 0; m < kBankAges; ++m) {
    bank->buffers[m] = bank->storage[m];
    bank->segments[m] = bank->window + m * kBankFrame;
  }
}

void serrin_analysis(const int16_t* samples, SerrinComplex* spectrum, AnalysisBank* bank) {
  // The oldest buffer is reused as the newest.
  float* newest = bank->buffers[0];
  for (int m = 0; m + 1 < kBankAges; ++m) bank->buffers[m] = bank->buffers[m + 1];
  bank->buffers[kBankAges - 1] = newest;

  float prev = bank->memory;
  for (int n = 0; n < kBankFrame; ++n) {
    const float x = samples[n];
    newest[n] = x - kEmphasis * prev;
    prev = x;
  }
  bank->memory = prev;

  // Fold: the first half takes the even ages, the second half the odd ages.
  float* folded = reinterpret_cast<float*>(spectrum);
  for (int n = 0; n < kBankFrame; ++n) {
    folded[n] = bank->segments[0][n] * bank->buffers[0][n] + bank->segments[2][n] * bank->buffers[2][n] +
                bank->segments[4][n] * bank->buffers[4][n];
    folded[kBankFrame + n] = bank->segments[1][n] * bank->buffers[1][n] + bank->segments[3][n] * bank->buffers[3][n] +
                             bank->segments[5][n] * bank->buffers[5][n];
  }
  serrin_rfft1920(spectrum, 1);
}

void serrin_synthesis_init(SynthesisBank* bank) { serrin_synthesis_init_window(bank, serrin_prototype_window()); }

void serrin_synthesis_init_window(SynthesisBank* bank, const float* proto) {
  bank->memory = 0.0f;
  std::memset(bank->storage, 0, sizeof(bank->storage));
  for (int m = 0; m < kBankAges; ++m) {
    bank->accumulators[m] = bank->storage[m];
    bank->segments[m] = proto + m * kBankFrame;
  }
}

void serrin_synthesis(SerrinComplex* spectrum, int16_t* samples, SynthesisBank* bank) {
  serrin_rfft1920(spectrum, -1);
  const float* y = reinterpret_cast<const float*>(spectrum);
  for (int m = 0; m < kBankAges; ++m) {
    const float* half = y + (m % 2) * kBankFrame;
    const float* v = bank->segments[m];
    float* acc = bank->accumulators[m];
    for (int n = 0; n < kBankFrame; ++n) acc[n] += v[n] * half[n];
  }
  float* out = bank->accumulators[0];
  float prev = bank->memory;
  for (int n = 0; n < kBankFrame; ++n) {
    prev = out[n] + kEmphasis * prev;
    samples[n] = SaturateToInt16(prev);
  }
  bank->memory = prev;
  std::memset(out, 0, sizeof(float) * kBankFrame);
  for (int m = 0; m + 1 < kBankAges; ++m) bank->accumulators[m] = bank->accumulators[m + 1];
  bank->accumulators[kBankAges - 1] = out;
}
