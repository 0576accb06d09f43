// Frame records the core hands to its observers; valid only during the call.
#pragma once

#include <cstdint>

namespace kiv_core {

// Eight 32-bit words. Filled: format (word 1), width (3), height (4), data (6), length (7).
struct CoreVideoFrame {
  int32_t reserved0 = 0;
  int32_t format = 0;  // I420 1, YV12 2, NV12 3, NV21 4, other 0
  int32_t reserved2 = 0;
  int32_t width = 0;
  int32_t height = 0;
  int32_t reserved5 = 0;
  const void* data = nullptr;
  int32_t length = 0;
};

// Eight 32-bit words; observers read kind, channels, sample rate, data and length.
struct CoreAudioFrame {
  int32_t kind = 0;  // 1 when the source format is PCM, else 2
  int32_t second = 0;
  int32_t channels = 0;
  int32_t bitsPerSample = 0;
  int32_t sampleRate = 0;
  int32_t timestamp = 0;
  const void* data = nullptr;
  int32_t length = 0;
};

static_assert(sizeof(void*) != 4 || sizeof(CoreVideoFrame) == 32, "CoreVideoFrame layout");
static_assert(sizeof(void*) != 4 || sizeof(CoreAudioFrame) == 32, "CoreAudioFrame layout");

}  // namespace kiv_core
