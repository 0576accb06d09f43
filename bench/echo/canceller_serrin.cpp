// Our chain as the audio core drives it: the played frame into the delay line, then the
// captured frame through CAEC::Process.
#include <cmath>
#include <cstring>

#include "aec_frame.h"
#include "cpu_clock.h"
#include "echo_canceller.h"
#include "echo_canceller_under_test.h"

// The core alone is timed by wrapping its entry at link time (-Wl,--wrap, see
// CMakeLists.txt): CAEC::Process's call of serrin_process lands here.
namespace {
double g_core_ns = 0.0;
long g_core_frames = 0;
}  // namespace

extern "C" void __real__Z14serrin_processP11SerrinStatePKP13SerrinChannelP15SerrinFrameArgs(
    SerrinState* state, SerrinChannel* const* channels, SerrinFrameArgs* args);

extern "C" void __wrap__Z14serrin_processP11SerrinStatePKP13SerrinChannelP15SerrinFrameArgs(
    SerrinState* state, SerrinChannel* const* channels, SerrinFrameArgs* args) {
  const double t0 = ThreadCpuNs();
  __real__Z14serrin_processP11SerrinStatePKP13SerrinChannelP15SerrinFrameArgs(state, channels, args);
  g_core_ns += ThreadCpuNs() - t0;
  ++g_core_frames;
}

namespace {

class SerrinCanceller : public CancellerUnderTest {
 public:
  SerrinCanceller(bool noise_suppression, const SavedState* restore)
      : aec_(CAEC::Create()), noise_suppression_(noise_suppression) {
    core_ns_at_start_ = g_core_ns;
    core_frames_at_start_ = g_core_frames;
    if (restore != nullptr) {
      aec_->SetDataFolder(restore->folder);
      float erle = 0.0f, boost = 0.0f;
      int32_t volume = 0;
      restored_ = aec_->RestoreAECDataFromFile(restore->mic.c_str(), restore->speaker.c_str(), nullptr, &erle, &volume,
                                               &boost) == 1;
    }
  }

  std::string Name() const override { return noise_suppression_ ? "serrin + RNNoise" : "serrin (ANS off)"; }

  void ProcessFrame(const int16_t* far, const int16_t* mic, int16_t* out) override {
    aec_->WriteFarEnd(far);
    std::memcpy(mic_, mic, sizeof(mic_));
    std::memset(mic2_, 0, sizeof(mic2_));
    std::memset(side_, 0, sizeof(side_));
    AecFrameResults results;
    AECFrame f = aec_frame_make(AecFrameInputs{mic_, mic2_, false, false, noise_suppression_, out, side_}, &results);
    aec_->Process(&f);
  }

  bool Save(const SavedState& where) override {
    aec_->SetDataFolder(where.folder);
    return aec_->SaveAECDataToFile(where.mic.c_str(), where.speaker.c_str(), 0, 0, 40, 0.0f);
  }
  bool Restored() const override { return restored_; }
  double CoreNs() const override { return g_core_ns - core_ns_at_start_; }
  long CoreFrames() const override { return g_core_frames - core_frames_at_start_; }
  float FilterErle() const override {
    const SerrinState* s = aec_->State();
    return s != nullptr ? 10.0f * std::log10(s->echo_ratio) : 0.0f;
  }

 private:
  std::unique_ptr<CAEC> aec_;
  bool noise_suppression_;
  bool restored_ = false;
  double core_ns_at_start_ = 0.0;
  long core_frames_at_start_ = 0;
  int16_t mic_[kBenchFrame];
  int16_t mic2_[kBenchFrame];
  int16_t side_[kBenchFrame];
};

}  // namespace

std::unique_ptr<CancellerUnderTest> MakeSerrinCanceller(bool noise_suppression, const SavedState* restore) {
  return std::unique_ptr<CancellerUnderTest>(new SerrinCanceller(noise_suppression, restore));
}
