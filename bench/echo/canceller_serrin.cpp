// Our chain as the audio core drives it: the played frame into the delay line, then the
// captured frame through CAEC::Process.
#include <cstring>

#include "echo_canceller.h"
#include "echo_canceller_under_test.h"

namespace {

class SerrinCanceller : public CancellerUnderTest {
 public:
  explicit SerrinCanceller(bool noise_suppression)
      : aec_(CAEC::Create()), noise_suppression_(noise_suppression) {}

  std::string Name() const override {
    return noise_suppression_ ? "serrin + RNNoise" : "serrin (ANS off)";
  }

  void ProcessFrame(const int16_t* far, const int16_t* mic, int16_t* out) override {
    aec_->WriteFarEnd(far);
    std::memcpy(mic_, mic, sizeof(mic_));
    std::memset(mic2_, 0, sizeof(mic2_));
    std::memset(side_, 0, sizeof(side_));
    int32_t seed = 0, echo = 0;
    float floor = 0.0f, floor2 = 0.0f;
    uint8_t dt = 0;
    AECFrame f{};
    f.mic = mic_;
    f.bytes = kAecFrameBytes;
    f.mic2 = mic2_;
    f.mic2_bytes = 0;
    f.clock_ratio = 1.0f;
    f.voice = 0;
    f.word9 = 15.0f;
    f.out = out;
    f.side = side_;
    f.seed = &seed;
    f.mic_floor = &floor;
    f.mic2_floor = &floor2;
    f.echo = &echo;
    f.double_talk = &dt;
    f.word17 = 1;
    f.noise_suppression = noise_suppression_ ? 1 : 0;
    aec_->Process(&f);
  }

 private:
  std::unique_ptr<CAEC> aec_;
  bool noise_suppression_;
  int16_t mic_[kBenchFrame];
  int16_t mic2_[kBenchFrame];
  int16_t side_[kBenchFrame];
};

}  // namespace

std::unique_ptr<CancellerUnderTest> MakeSerrinCanceller(bool noise_suppression) {
  return std::unique_ptr<CancellerUnderTest>(new SerrinCanceller(noise_suppression));
}
