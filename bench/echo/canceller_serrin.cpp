// Our chain as the audio core drives it: the played frame into the delay line, then the
// captured frame through CAEC::Process.
#include <cmath>
#include <cstring>

#include "aec_frame.h"
#include "echo_canceller.h"
#include "echo_canceller_under_test.h"

namespace {

class SerrinCanceller : public CancellerUnderTest {
 public:
  SerrinCanceller(bool noise_suppression, const SavedState* restore)
      : aec_(CAEC::Create()), noise_suppression_(noise_suppression) {
    if (restore != nullptr) {
      aec_->SetDataFolder(restore->folder);
      float erle = 0.0f, boost = 0.0f;
      int32_t volume = 0;
      restored_ = aec_->RestoreAECDataFromFile(restore->mic.c_str(), restore->speaker.c_str(),
                                               nullptr, &erle, &volume, &boost) == 1;
    }
  }

  std::string Name() const override {
    return noise_suppression_ ? "serrin + RNNoise" : "serrin (ANS off)";
  }

  void ProcessFrame(const int16_t* far, const int16_t* mic, int16_t* out) override {
    aec_->WriteFarEnd(far);
    std::memcpy(mic_, mic, sizeof(mic_));
    std::memset(mic2_, 0, sizeof(mic2_));
    std::memset(side_, 0, sizeof(side_));
    AecFrameResults results;
    AECFrame f = aec_frame_make(
        AecFrameInputs{mic_, mic2_, false, false, noise_suppression_, out, side_}, &results);
    aec_->Process(&f);
  }

  bool Save(const SavedState& where) override {
    aec_->SetDataFolder(where.folder);
    return aec_->SaveAECDataToFile(where.mic.c_str(), where.speaker.c_str(), 0, 0, 40, 0.0f);
  }
  bool Restored() const override { return restored_; }
  float FilterErle() const override {
    const SerrinState* s = aec_->State();
    return s != nullptr ? 10.0f * std::log10(s->echo_ratio) : 0.0f;
  }

 private:
  std::unique_ptr<CAEC> aec_;
  bool noise_suppression_;
  bool restored_ = false;
  int16_t mic_[kBenchFrame];
  int16_t mic2_[kBenchFrame];
  int16_t side_[kBenchFrame];
};

}  // namespace

std::unique_ptr<CancellerUnderTest> MakeSerrinCanceller(bool noise_suppression,
                                                        const SavedState* restore) {
  return std::unique_ptr<CancellerUnderTest>(new SerrinCanceller(noise_suppression, restore));
}
