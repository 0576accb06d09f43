// The software gain the capture path applies to a microphone's 16-bit samples: a table from
// -20 dB (index 0) through 0 dB (127) to +30 dB (255) in Q10, backing off one index for
// every clipped sample.
#pragma once

#include <cstdint>

struct DigitalGain {
  int32_t gain_index = 127;  // set by the caller before each block; the index reached after it
  int32_t maximum = 255;
  float factor = 1.0f;

  // Table entry in Q10 (1024 = 1.0).
  static int32_t TableEntry(int index);
  // Applies the gain at gain_index to `count` samples in place; returns 0.
  int Apply(int16_t* samples, int count);
};
