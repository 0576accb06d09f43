// Debian's speexdsp echo canceller (MDF), optionally followed by its preprocessor with
// residual-echo and noise suppression; 10 ms frames.
#include <speex/speex_echo.h>
#include <speex/speex_preprocess.h>

#include <string>

#include "echo_canceller_under_test.h"

namespace {

constexpr int kHalf = kBenchFrame / 2;

class SpeexCanceller : public CancellerUnderTest {
 public:
  SpeexCanceller(bool preprocess, int filter_ms) : filter_ms_(filter_ms) {
    echo_ = speex_echo_state_init(kHalf, kBenchRate * filter_ms / 1000);
    int rate = kBenchRate;
    speex_echo_ctl(echo_, SPEEX_ECHO_SET_SAMPLING_RATE, &rate);
    if (preprocess) {
      pre_ = speex_preprocess_state_init(kHalf, kBenchRate);
      speex_preprocess_ctl(pre_, SPEEX_PREPROCESS_SET_ECHO_STATE, echo_);
      int on = 1;
      speex_preprocess_ctl(pre_, SPEEX_PREPROCESS_SET_DENOISE, &on);
    }
  }
  ~SpeexCanceller() override {
    if (pre_ != nullptr) speex_preprocess_state_destroy(pre_);
    speex_echo_state_destroy(echo_);
  }

  std::string Name() const override {
    return std::string(pre_ != nullptr ? "speexdsp AEC+pre " : "speexdsp AEC ") + std::to_string(filter_ms_) + "ms";
  }

  void ProcessFrame(const int16_t* far, const int16_t* mic, int16_t* out) override {
    for (int h = 0; h < 2; ++h) {
      speex_echo_cancellation(echo_, mic + h * kHalf, far + h * kHalf, out + h * kHalf);
      if (pre_ != nullptr) speex_preprocess_run(pre_, out + h * kHalf);
    }
  }

 private:
  int filter_ms_;
  SpeexEchoState* echo_ = nullptr;
  SpeexPreprocessState* pre_ = nullptr;
};

}  // namespace

std::unique_ptr<CancellerUnderTest> MakeSpeexCanceller(bool preprocess, int filter_ms) {
  return std::unique_ptr<CancellerUnderTest>(new SpeexCanceller(preprocess, filter_ms));
}
