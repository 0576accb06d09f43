#include "capture/mic_sample_converter.h"

#include <cstring>

namespace {

// One integer sample as 16 bits.
int32_t IntSample(const uint8_t* p, int bits) {
  switch (bits) {
    case 8:
      return (static_cast<int32_t>(p[0]) - 128) * 256;  // 8-bit PCM is unsigned
    case 16:
      return static_cast<int16_t>(p[0] | (p[1] << 8));
    case 24:
      return static_cast<int16_t>(p[1] | (p[2] << 8));
    default:
      return static_cast<int16_t>(p[2] | (p[3] << 8));
  }
}

float FloatSample(const uint8_t* p) {
  float v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

int16_t ClampTruncate(float v) {
  if (v >= 32767.0f) return 32767;
  if (v <= -32768.0f) return -32768;
  return static_cast<int16_t>(v);
}

float Clamp(float v) { return v > 32767.0f ? 32767.0f : (v < -32768.0f ? -32768.0f : v); }

}  // namespace

bool ConvertToMono(const uint8_t* data, int frames, const MicSampleFormat& f, int16_t* out) {
  if (data == nullptr || out == nullptr || frames < 0 || f.channels < 1) return false;
  if (f.type != SampleType::kInteger && f.type != SampleType::kFloat) return false;
  if (f.bits != 8 && f.bits != 16 && f.bits != 24 && f.bits != 32) return false;
  if (f.type == SampleType::kFloat && f.bits != 32) return false;
  const int width = f.bits / 8;
  const int stride = width * f.channels;
  if (f.type == SampleType::kFloat) {
    for (int i = 0; i < frames; ++i) {
      const uint8_t* p = data + i * stride;
      float v = FloatSample(p) * 32767.0f;
      if (f.channels > 1 && f.two_channel_sum) v += FloatSample(p + 4) * 32767.0f;
      out[i] = ClampTruncate(v);
    }
    return true;
  }
  if (f.channels == 1 && f.bits == 16) {
    std::memcpy(out, data, static_cast<size_t>(frames) * 2);
    return true;
  }
  if (f.channels == 2 && f.bits == 16) {
    for (int i = 0; i < frames; ++i) {
      const uint8_t* p = data + i * stride;
      const float mixed = Clamp((IntSample(p, 16) + IntSample(p + 2, 16)) * 0.707f);
      out[i] = ClampTruncate(mixed * 0.707f);
    }
    return true;
  }
  const int mixed_channels = f.channels > 4 ? 4 : f.channels;
  const float scale = f.channels == 1 ? 1.0f : f.channels == 2 ? 0.707f : f.channels == 3 ? 0.577f : 0.5f;
  for (int i = 0; i < frames; ++i) {
    const uint8_t* p = data + i * stride;
    int32_t sum = 0;
    for (int c = 0; c < mixed_channels; ++c) sum += IntSample(p + c * width, f.bits);
    out[i] = ClampTruncate(Clamp(static_cast<float>(sum)) * scale);
  }
  return true;
}
