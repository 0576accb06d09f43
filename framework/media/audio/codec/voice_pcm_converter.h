// Brings 16-bit PCM of any rate (8000-48000 Hz) and 1 or 2 channels to the voice format,
// 48 kHz mono: channels averaged, rate changed by linear interpolation that carries its
// phase from block to block. Pure logic; not thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tessarine {

class VoicePcmConverter {
 public:
  // Appends the converted samples to `out`; false (nothing appended) for a rate or
  // channel count out of range.
  bool Convert(const int16_t* pcm, size_t frames, int32_t rate, int32_t channels, std::vector<int16_t>* out);

 private:
  int32_t rate_ = 0;
  double position_ = 0;  // of the next output sample, in input samples after `last_`
  int16_t last_ = 0;     // the last input sample of the previous block
};

}  // namespace tessarine
