// One echo canceller as the bench drives it: 20 ms frames of 48 kHz mono audio.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

// Where a canceller's learnt state is kept between two runs (ours only).
struct SavedState {
  std::wstring folder;
  std::string mic;
  std::string speaker;
};

class CancellerUnderTest {
 public:
  virtual ~CancellerUnderTest() = default;
  virtual std::string Name() const = 0;
  // Called once per 20 ms: far is what is played now, mic what is captured now.
  virtual void ProcessFrame(const int16_t* far, const int16_t* mic, int16_t* out) = 0;
  // Saved state (ours only): save what was learnt; whether it was restored at creation.
  virtual bool Save(const SavedState&) { return false; }
  virtual bool Restored() const { return false; }
  // Echo removed by the adaptive filter alone in the last frame, in dB (ours only).
  virtual float FilterErle() const { return 0.0f; }
  // Time spent in the serrin core alone since creation, in ns, and its frames (ours only;
  // frames 0 for the others).
  virtual double CoreNs() const { return 0.0; }
  virtual long CoreFrames() const { return 0; }
};

constexpr int kBenchRate = 48000;
constexpr int kBenchFrame = 960;

// restore: a state to read back at creation (null: cold start).
std::unique_ptr<CancellerUnderTest> MakeSerrinCanceller(bool noise_suppression, const SavedState* restore = nullptr);
std::unique_ptr<CancellerUnderTest> MakeSpeexCanceller(bool preprocess, int filter_ms);
// echo_delay_ms: the delay a device layer would report (used by webrtc only).
std::unique_ptr<CancellerUnderTest> MakeWebrtcCanceller(int echo_delay_ms);
