// Plays a 20 ms frame of 48 kHz mono PCM at the pace the jitter buffer asks for: as it is,
// shortened or lengthened by one period of the lag at which the frame best repeats itself
// (2.5 to 10 ms: a pitch period of voiced sound, any of them for noise), cross-faded over
// that period so that the frame's first and last samples join its neighbours as before.
// A quiet frame that is to be shortened is dropped whole. Pure logic.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "voice_jitter_buffer.h"

namespace tessarine {

class VoiceTimeScaler {
 public:
  static constexpr size_t kFrameSamples = 960;
  static constexpr size_t kMinPeriod = 120;  // 2.5 ms
  static constexpr size_t kMaxPeriod = 480;  // 10 ms, half a frame
  static constexpr double kQuietRms = 150;   // about -47 dBFS

  // Appends the frame (kFrameSamples samples) to `out` at `pace`; `may_drop` allows a quiet
  // frame to be dropped whole. Returns the samples appended.
  static size_t Append(VoicePace pace, const int16_t* frame, bool may_drop, std::vector<int16_t>* out);
  // The lag in [kMinPeriod, kMaxPeriod] at which frame[0, lag) best matches frame[lag, 2 lag).
  static size_t BestPeriod(const int16_t* frame);
  [[nodiscard]] static bool Quiet(const int16_t* frame);
};

}  // namespace tessarine
