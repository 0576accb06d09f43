#include "device/wave_format.h"

#include <gtest/gtest.h>

// Verifies the packed formats' block and byte rate and the extensible float fields.
TEST(WaveFormatTest, PackedFormats) {
  const WaveFormat pcm = Int16Format(44100, 2);
  EXPECT_EQ(pcm.format_tag, kWaveFormatPcm);
  EXPECT_EQ(pcm.bits_per_sample, 16);
  EXPECT_EQ(pcm.block_align, 4);
  EXPECT_EQ(pcm.avg_bytes_per_sec, 176400u);
  EXPECT_EQ(pcm.cb_size, 0);
  const WaveFormat mono = FloatExtensibleFormat(48000, 1);
  EXPECT_EQ(mono.format_tag, kWaveFormatExtensible);
  EXPECT_EQ(mono.block_align, 4);
  EXPECT_EQ(mono.avg_bytes_per_sec, 192000u);
  EXPECT_EQ(mono.cb_size, 22);
  EXPECT_EQ(mono.valid_bits_per_sample, 32);
  EXPECT_EQ(mono.channel_mask, 0x4u);
  EXPECT_EQ(FloatExtensibleFormat(48000, 2).channel_mask, 0x3u);
  EXPECT_EQ(ClassifyFormat(mono), SampleType::kFloat);
}

// Verifies the 16-bit forms of a float and an extensible mix format (18 and 40 bytes).
TEST(WaveFormatTest, Int16FromMix) {
  WaveFormat plain_float = FloatExtensibleFormat(48000, 2);
  plain_float.format_tag = kWaveFormatIeeeFloat;
  WaveFormat out = {};
  EXPECT_EQ(MakeInt16Format(plain_float, &out), 18);
  EXPECT_EQ(out.format_tag, kWaveFormatPcm);
  EXPECT_EQ(out.bits_per_sample, 16);
  EXPECT_EQ(out.block_align, 4);
  EXPECT_EQ(out.avg_bytes_per_sec, 192000u);
  EXPECT_EQ(out.cb_size, 0);
  EXPECT_EQ(out.sub_format, Guid{});
  EXPECT_EQ(MakeInt16Format(FloatExtensibleFormat(44100, 2), &out), 40);
  EXPECT_EQ(out.format_tag, kWaveFormatExtensible);
  EXPECT_EQ(out.valid_bits_per_sample, 16);
  EXPECT_EQ(out.sub_format, kSubtypePcm);
  EXPECT_EQ(out.avg_bytes_per_sec, 176400u);
  EXPECT_EQ(ClassifyFormat(out), SampleType::kInteger);
}
