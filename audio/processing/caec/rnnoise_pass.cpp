#include "rnnoise_pass.h"

#include <rnnoise/rnnoise.h>

RnnoisePass::RnnoisePass() : state_(rnnoise_create(nullptr)) {}

RnnoisePass::~RnnoisePass() {
  if (state_ != nullptr) rnnoise_destroy(state_);
}

int16_t RnnoisePass::ToPcm16(float v) {
  if (v != v) return 0;  // NaN
  if (v > 32767.0f) return 32767;
  if (v < -32768.0f) return -32768;
  return static_cast<int16_t>(v);
}

void RnnoisePass::Process(int16_t* frame) {
  if (state_ == nullptr) return;
  for (int half = 0; half < 2; ++half) {
    int16_t* x = frame + half * kHalf;
    for (int n = 0; n < kHalf; ++n) in_[n] = x[n];
    rnnoise_process_frame(state_, out_, in_);
    for (int n = 0; n < kHalf; ++n) x[n] = ToPcm16(out_[n]);
  }
}
