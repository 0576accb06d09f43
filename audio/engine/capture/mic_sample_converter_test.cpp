#include "capture/mic_sample_converter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

template <typename T>
std::vector<uint8_t> Bytes(const std::vector<T>& v) {
  std::vector<uint8_t> b(v.size() * sizeof(T));
  std::memcpy(b.data(), v.data(), b.size());
  return b;
}

int16_t One(const std::vector<uint8_t>& data, MicSampleFormat f) {
  int16_t out = 0x5555;
  EXPECT_TRUE(ConvertToMono(data.data(), 1, f, &out));
  return out;
}

// Verifies the integer mixes: copy, the stereo mix (applied twice), wider samples, many channels.
TEST(MicSampleConverterTest, IntegerMixes) {
  EXPECT_EQ(One(Bytes<int16_t>({-1234}), {SampleType::kInteger, 16, 1, false}), -1234);
  EXPECT_EQ(One(Bytes<int16_t>({10000, 10000}), {SampleType::kInteger, 16, 2, false}), 9996);
  EXPECT_EQ(One(Bytes<int16_t>({32767, 32767}), {SampleType::kInteger, 16, 2, false}), 23166);
  // 24 and 32 bits: the two most significant bytes.
  EXPECT_EQ(One({0x11, 0x34, 0x12}, {SampleType::kInteger, 24, 1, false}), 0x1234);
  EXPECT_EQ(One({0x11, 0x22, 0xCC, 0xED}, {SampleType::kInteger, 32, 1, false}), static_cast<int16_t>(0xEDCC));
  // 8-bit PCM is unsigned: 128 is silence.
  EXPECT_EQ(One({128}, {SampleType::kInteger, 8, 1, false}), 0);
  EXPECT_EQ(One({255}, {SampleType::kInteger, 8, 1, false}), 127 * 256);
  EXPECT_EQ(One({0}, {SampleType::kInteger, 8, 1, false}), -32768);
  // Three channels at 0.577; six channels mix only the first four at 0.5.
  EXPECT_EQ(One(Bytes<int16_t>({1000, 1000, 1000}), {SampleType::kInteger, 16, 3, false}), 1731);
  EXPECT_EQ(One(Bytes<int16_t>({1000, 1000, 1000, 1000, 9000, 9000}), {SampleType::kInteger, 16, 6, false}), 2000);
  // The sum is clamped before scaling.
  EXPECT_EQ(One(Bytes<int16_t>({30000, 30000, 30000}), {SampleType::kInteger, 16, 3, false}), 18906);
}

// Verifies the float path: first channel only unless the two-channel sum is on, clamped.
TEST(MicSampleConverterTest, FloatChannels) {
  EXPECT_EQ(One(Bytes<float>({0.5f}), {SampleType::kFloat, 32, 1, false}), 16383);
  EXPECT_EQ(One(Bytes<float>({0.25f, 0.5f}), {SampleType::kFloat, 32, 2, false}), 8191);
  EXPECT_EQ(One(Bytes<float>({0.25f, 0.5f}), {SampleType::kFloat, 32, 2, true}), 24575);
  EXPECT_EQ(One(Bytes<float>({0.9f, 0.9f}), {SampleType::kFloat, 32, 2, true}), 32767);
  EXPECT_EQ(One(Bytes<float>({-2.0f}), {SampleType::kFloat, 32, 1, false}), -32768);
}

// Verifies that unreadable formats are refused without writing.
TEST(MicSampleConverterTest, RefusesUnknownFormats) {
  const std::vector<uint8_t> data(16, 0);
  int16_t out = 7;
  EXPECT_FALSE(ConvertToMono(data.data(), 1, {SampleType::kUnknown, 16, 1, false}, &out));
  EXPECT_FALSE(ConvertToMono(data.data(), 1, {SampleType::kInteger, 12, 1, false}, &out));
  EXPECT_FALSE(ConvertToMono(data.data(), 1, {SampleType::kFloat, 16, 1, false}, &out));
  EXPECT_FALSE(ConvertToMono(data.data(), 1, {SampleType::kInteger, 16, 0, false}, &out));
  EXPECT_FALSE(ConvertToMono(nullptr, 1, {SampleType::kInteger, 16, 1, false}, &out));
  EXPECT_EQ(out, 7);
}

}  // namespace
