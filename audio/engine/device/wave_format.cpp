#include "device/wave_format.h"

#include <cstring>

const Guid kSubtypePcm = {0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
const Guid kSubtypeIeeeFloat = {0x00000003, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

SampleType ClassifyFormat(const WaveFormat& f) {
  if (f.format_tag == kWaveFormatPcm) return SampleType::kInteger;
  if (f.format_tag == kWaveFormatIeeeFloat) return SampleType::kFloat;
  if (f.format_tag == kWaveFormatExtensible) {
    if (f.sub_format == kSubtypePcm) return SampleType::kInteger;
    if (f.sub_format == kSubtypeIeeeFloat) return SampleType::kFloat;
  }
  return SampleType::kUnknown;
}

int MakeInt16Format(const WaveFormat& mix, WaveFormat* out) {
  *out = mix;
  out->bits_per_sample = 16;
  out->block_align = static_cast<uint16_t>(2 * mix.channels);
  out->avg_bytes_per_sec = out->block_align * mix.samples_per_sec;
  if (mix.format_tag == kWaveFormatExtensible) {
    out->valid_bits_per_sample = 16;
    out->sub_format = kSubtypePcm;
    return 40;
  }
  out->format_tag = kWaveFormatPcm;
  out->cb_size = 0;
  out->valid_bits_per_sample = 0;
  out->channel_mask = 0;
  std::memset(&out->sub_format, 0, sizeof out->sub_format);
  return 18;
}

namespace {

// Tag, channels and rate with `bits` per sample, packed: block and byte rate follow.
WaveFormat PackedFormat(uint16_t tag, int rate, int channels, int bits) {
  WaveFormat f = {};
  f.format_tag = tag;
  f.channels = static_cast<uint16_t>(channels);
  f.samples_per_sec = static_cast<uint32_t>(rate);
  f.bits_per_sample = static_cast<uint16_t>(bits);
  f.block_align = static_cast<uint16_t>(bits / 8 * channels);
  f.avg_bytes_per_sec = f.block_align * f.samples_per_sec;
  return f;
}

}  // namespace

WaveFormat Int16Format(int rate, int channels) { return PackedFormat(kWaveFormatPcm, rate, channels, 16); }

WaveFormat FloatExtensibleFormat(int rate, int channels) {
  WaveFormat f = PackedFormat(kWaveFormatExtensible, rate, channels, 32);
  f.cb_size = 22;
  f.valid_bits_per_sample = 32;
  f.channel_mask = channels == 1 ? 0x4 : 0x3;
  f.sub_format = kSubtypeIeeeFloat;
  return f;
}
