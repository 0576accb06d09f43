#include "aec_delay_line.h"

#include <cmath>
#include <cstring>

#include "audio_lib_log.h"

namespace {

constexpr float kPhaseSum = 0.00374f;

struct InterpolationTable {
  float c[kInterpolationTaps * kInterpolationPhases];
  InterpolationTable() {
    const double pi = 3.14159265358979323846;
    for (int ph = 0; ph < kInterpolationPhases; ++ph) {
      double column[kInterpolationTaps];
      double sum = 0.0;
      for (int t = 0; t < kInterpolationTaps; ++t) {
        // Distance of tap t from the interpolated point; phase 0 centres on tap 8.
        const double x = t - 8 + static_cast<double>(ph) / kInterpolationPhases;
        const double sinc = x == 0.0 ? 1.0 : std::sin(pi * x) / (pi * x);
        // Blackman window over the 16-tap span.
        const double u = (x + 8.0) / 16.0;
        const double w = 0.42 - 0.5 * std::cos(2.0 * pi * u) + 0.08 * std::cos(4.0 * pi * u);
        column[t] = sinc * w;
        sum += column[t];
      }
      for (int t = 0; t < kInterpolationTaps; ++t) {
        c[t * kInterpolationPhases + ph] = static_cast<float>(column[t] / sum * kPhaseSum);
      }
    }
  }
};

inline int32_t ValidDelay(int32_t delay) {
  return (delay < kMinBufferDelay || delay > kMaxBufferDelay) ? kDefaultBufferDelay : delay;
}

inline int16_t Saturate(float v) {
  if (v >= 32767.0f) return 32767;
  if (v <= -32768.0f) return -32768;
  return static_cast<int16_t>(v);  // truncation toward zero
}

}  // namespace

const float* aec_interpolation_table() {
  static const InterpolationTable table;
  return table.c;
}

AecDelayLine::AecDelayLine() { std::memset(ring_, 0, sizeof(ring_)); }

void AecDelayLine::RepairWriteIndex() {
  if (write_index_ < 0 || write_index_ > kDelayLineSamples - kDelayLineFrame) {
    write_index_ = ValidDelay(buffer_delay_);
    read_position_ = 0.0;
  }
}

void AecDelayLine::Write(const int16_t* frame) {
  VORAX::AutoLock guard(lock_);
  RepairWriteIndex();
  std::memcpy(ring_ + write_index_, frame, sizeof(int16_t) * kDelayLineFrame);
  write_index_ += kDelayLineFrame;
  if (write_index_ > kDelayLineSamples - 1) write_index_ -= kDelayLineSamples;
}

void AecDelayLine::Latest(int16_t* out) {
  VORAX::AutoLock guard(lock_);
  RepairWriteIndex();
  const int32_t start =
      write_index_ >= kDelayLineFrame ? write_index_ - kDelayLineFrame : kDelayLineSamples - kDelayLineFrame;
  std::memcpy(out, ring_ + start, sizeof(int16_t) * kDelayLineFrame);
}

void AecDelayLine::ReadAligned(int16_t* out) {
  const float* coefficients = aec_interpolation_table();
  VORAX::AutoLock guard(lock_);
  if (read_position_ < 0.0 || read_position_ >= kDelayLineSamples) {
    write_index_ = ValidDelay(buffer_delay_);
    read_position_ = 0.0;
  }
  for (int n = 0; n < kDelayLineFrame; ++n) {
    const int32_t i = static_cast<int32_t>(read_position_);
    const int phase = static_cast<int>((read_position_ - i) * kInterpolationPhases);
    float acc = 0.0f;
    for (int t = 0; t < kInterpolationTaps; ++t) {
      int32_t j = i - t;
      if (j < 0) j += kDelayLineSamples;
      acc += ring_[j] * coefficients[t * kInterpolationPhases + phase];
    }
    out[n] = Saturate(256.0f * acc);
    read_position_ += read_step_;
    if (read_position_ >= kDelayLineSamples) read_position_ -= kDelayLineSamples;
  }
}

int32_t AecDelayLine::CurrentDelay() {
  VORAX::AutoLock guard(lock_);
  int32_t delay = write_index_ - static_cast<int32_t>(read_position_);
  if (delay < 0) delay += kDelayLineSamples;
  return delay;
}

void AecDelayLine::ShiftFrames(int32_t frames) {
  VORAX::AutoLock guard(lock_);
  int64_t w = static_cast<int64_t>(write_index_) + static_cast<int64_t>(frames) * kDelayLineFrame;
  w %= kDelayLineSamples;
  if (w < 0) w += kDelayLineSamples;
  write_index_ = static_cast<int32_t>(w);
}

void AecDelayLine::SetReadStep(double step) {
  if (!(step >= 0.5 && step <= 2.0)) return;  // also rejects NaN
  VORAX::AutoLock guard(lock_);
  read_step_ = step;
}

void AecDelayLine::SetBufferDelay(int32_t delay) {
  VORAX::AutoLock guard(lock_);
  buffer_delay_ = ValidDelay(delay);
}

int32_t AecDelayLine::BufferDelay() {
  VORAX::AutoLock guard(lock_);
  return buffer_delay_;
}

int32_t AecDelayLine::ResetCount() {
  VORAX::AutoLock guard(lock_);
  return reset_count_;
}

void AecDelayLine::CountReset() {
  VORAX::AutoLock guard(lock_);
  ++reset_count_;
}

AecDelayLine::Positions AecDelayLine::Snapshot() {
  VORAX::AutoLock guard(lock_);
  return Positions{read_step_, read_position_, write_index_, buffer_delay_, reset_count_};
}

void resample_reset(AecDelayLine* line) {
  VORAX::AutoLock guard(line->lock_);
  line->buffer_delay_ = ValidDelay(line->buffer_delay_);
  if (line->reset_count_ > 2) {
    AudioLibLog("resample_reset: err reset count too much, use default delay buffer size.");
    line->buffer_delay_ = kDefaultBufferDelay;
    line->reset_count_ = 0;
  }
  line->read_step_ = line->default_read_step_;
  line->write_index_ = (line->buffer_delay_ / kDelayLineFrame) * kDelayLineFrame + kDelayLineFrame;
  line->read_position_ = kDelayLineFrame - (line->buffer_delay_ % kDelayLineFrame);
  std::memset(line->ring_, 0, sizeof(line->ring_));
}
