// Noise suppression of processed frames by RNNoise, on the two 480-sample halves of each
// 960-sample frame, with one denoiser state kept from frame to frame.
#pragma once

#include <cstdint>

struct DenoiseState;

class RnnoisePass {
 public:
  static constexpr int kFrame = 960;
  static constexpr int kHalf = 480;

  RnnoisePass();
  ~RnnoisePass();
  RnnoisePass(const RnnoisePass&) = delete;
  RnnoisePass& operator=(const RnnoisePass&) = delete;

  // False when the denoiser could not be created; Process then leaves frames as they are.
  bool ok() const { return state_ != nullptr; }

  // Denoises 960 samples in place (floats in 16-bit scale, no scaling).
  void Process(int16_t* frame);

  // Float to int16: above 32767 gives 32767, below -32768 gives -32768, else truncation.
  static int16_t ToPcm16(float v);

 private:
  DenoiseState* state_;
  float in_[kHalf];
  float out_[kHalf];
};
