// Debian's webrtc-audio-processing: echo cancellation (extended filter, delay-agnostic)
// with noise suppression and the high-pass filter; 10 ms frames.
#include <webrtc/common.h>
#include <webrtc/modules/audio_processing/include/audio_processing.h>
#include <webrtc/modules/interface/module_common_types.h>

#include <cstring>
#include <string>

#include "echo_canceller_under_test.h"

namespace {

constexpr int kHalf = kBenchFrame / 2;

class WebrtcCanceller : public CancellerUnderTest {
 public:
  explicit WebrtcCanceller(int echo_delay_ms) : delay_ms_(echo_delay_ms) {
    webrtc::Config config;
    config.Set<webrtc::ExtendedFilter>(new webrtc::ExtendedFilter(true));
    config.Set<webrtc::DelayAgnostic>(new webrtc::DelayAgnostic(true));
    apm_ = webrtc::AudioProcessing::Create(config);
    apm_->high_pass_filter()->Enable(true);
    apm_->echo_cancellation()->enable_drift_compensation(false);
    apm_->echo_cancellation()->Enable(true);
    apm_->noise_suppression()->set_level(webrtc::NoiseSuppression::kModerate);
    apm_->noise_suppression()->Enable(true);
  }
  ~WebrtcCanceller() override { delete apm_; }

  std::string Name() const override { return "webrtc AEC+NS"; }

  void ProcessFrame(const int16_t* far, const int16_t* mic, int16_t* out) override {
    for (int h = 0; h < 2; ++h) {
      Fill(&render_, far + h * kHalf);
      apm_->ProcessReverseStream(&render_);
      Fill(&capture_, mic + h * kHalf);
      apm_->set_stream_delay_ms(delay_ms_);
      apm_->ProcessStream(&capture_);
      std::memcpy(out + h * kHalf, capture_.data_, sizeof(int16_t) * kHalf);
    }
  }

 private:
  static void Fill(webrtc::AudioFrame* frame, const int16_t* samples) {
    frame->sample_rate_hz_ = kBenchRate;
    frame->num_channels_ = 1;
    frame->samples_per_channel_ = kHalf;
    std::memcpy(frame->data_, samples, sizeof(int16_t) * kHalf);
  }

  int delay_ms_;
  webrtc::AudioProcessing* apm_ = nullptr;
  webrtc::AudioFrame render_;
  webrtc::AudioFrame capture_;
};

}  // namespace

std::unique_ptr<CancellerUnderTest> MakeWebrtcCanceller(int echo_delay_ms) {
  return std::unique_ptr<CancellerUnderTest>(new WebrtcCanceller(echo_delay_ms));
}
