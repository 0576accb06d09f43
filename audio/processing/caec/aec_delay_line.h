// Far-end delay line of the echo canceller: a one-second ring that holds what was played
// until its echo reaches the microphone, read back with a fractional step through a
// 16-tap interpolation filter.
#pragma once

#include <cstdint>

#include "vorax_mutex.h"

constexpr int32_t kDelayLineSamples = 48000;
constexpr int32_t kDelayLineFrame = 960;
constexpr int32_t kDefaultBufferDelay = 1920;
constexpr int32_t kMinBufferDelay = 960;
constexpr int32_t kMaxBufferDelay = 13440;
constexpr int kInterpolationTaps = 16;
constexpr int kInterpolationPhases = 256;

// Every member is guarded by the line's own lock; each operation below takes it for its
// whole body. The audio core's lock, when held, is always taken first.
class AecDelayLine {
 public:
  AecDelayLine();
  AecDelayLine(const AecDelayLine&) = delete;
  AecDelayLine& operator=(const AecDelayLine&) = delete;

  // Render side: appends one frame of 960 samples at the write index.
  void Write(const int16_t* frame);
  // Copies the most recently written frame.
  void Latest(int16_t* out);
  // Produces 960 samples read from the position with the current step.
  void ReadAligned(int16_t* out);
  // Write index less the integer read position, wrapped into the ring.
  int32_t CurrentDelay();
  // Moves the write index by whole frames (wrapping into the ring).
  void ShiftFrames(int32_t frames);
  // Samples consumed per output sample; values outside 0.5..2.0 (or not finite) are ignored.
  void SetReadStep(double step);
  // Delay that a reset sets up; values outside 960..13440 become 1920.
  void SetBufferDelay(int32_t delay);
  int32_t BufferDelay();
  int32_t ResetCount();
  void CountReset();

  // Snapshot of the positions, for logs and tests.
  struct Positions {
    double read_step;
    double read_position;
    int32_t write_index;
    int32_t buffer_delay;
    int32_t reset_count;
  };
  Positions Snapshot();

 private:
  friend void resample_reset(AecDelayLine* line);
  void RepairWriteIndex();  // lock held

  VORAX::Mutex lock_;
  double read_step_ = 1.0;
  double read_position_ = 960.0;
  int32_t write_index_ = 2880;
  int16_t ring_[kDelayLineSamples];
  double default_read_step_ = 1.0;
  int32_t buffer_delay_ = kDefaultBufferDelay;
  int32_t reset_count_ = 0;
};

// Resets the line under its lock: the write index leads the read position by exactly the
// buffer delay, the step is the default and the ring is silent. A reset with the reset
// count above 2 falls back to the default delay (and logs it).
void resample_reset(AecDelayLine* line);

// The interpolation filter: kInterpolationTaps x kInterpolationPhases floats, index
// tap * 256 + phase; each phase sums to 0.00374 (output gain 256 x that, about 0.96).
const float* aec_interpolation_table();
