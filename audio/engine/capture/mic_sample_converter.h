// Device samples of a capture buffer to mono 16-bit samples.
#pragma once

#include <cstdint>

#include "device/wave_format.h"

struct MicSampleFormat {
  SampleType type;
  int bits;              // 8, 16, 24 or 32 (32 for float)
  int channels;          // at least 1
  bool two_channel_sum;  // float input: add the second channel to the first
};

// Converts `frames` device frames into `out`. False (and nothing written) for a format it
// cannot read.
bool ConvertToMono(const uint8_t* data, int frames, const MicSampleFormat& format, int16_t* out);
