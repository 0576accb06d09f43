// The stream format record (same layout as WAVEFORMATEXTENSIBLE) and what the device code
// derives from it.
#pragma once

#include <cstdint>

#include "device/guid_text.h"

struct WaveFormat {
  uint16_t format_tag;
  uint16_t channels;
  uint32_t samples_per_sec;
  uint32_t avg_bytes_per_sec;
  uint16_t block_align;
  uint16_t bits_per_sample;
  uint16_t cb_size;
  // Extensible part (cb_size 22).
  uint16_t valid_bits_per_sample;
  uint32_t channel_mask;
  Guid sub_format;
};
static_assert(sizeof(WaveFormat) == 40, "the layout of WAVEFORMATEXTENSIBLE");

constexpr uint16_t kWaveFormatPcm = 1;
constexpr uint16_t kWaveFormatIeeeFloat = 3;
constexpr uint16_t kWaveFormatExtensible = 0xFFFE;
extern const Guid kSubtypePcm;        // KSDATAFORMAT_SUBTYPE_PCM
extern const Guid kSubtypeIeeeFloat;  // KSDATAFORMAT_SUBTYPE_IEEE_FLOAT

enum class SampleType : int32_t { kUnknown = 0, kInteger = 1, kFloat = 2 };

// Integer or float from the tag (and the sub-format of an extensible format).
SampleType ClassifyFormat(const WaveFormat& format);

// The mix format turned into 16-bit integer PCM of the same rate and channels: a float
// format becomes tag 1; an extensible one keeps its tag with the PCM sub-format. A plain
// PCM format is made 16-bit the same way. Returns the number of meaningful bytes (18 or 40).
int MakeInt16Format(const WaveFormat& mix, WaveFormat* out);

// A format of `channels` 16-bit integer channels at `rate`.
WaveFormat Int16Format(int rate, int channels);
// A format of `channels` 32-bit float channels at `rate`, extensible like a typical mix format.
WaveFormat FloatExtensibleFormat(int rate, int channels);
