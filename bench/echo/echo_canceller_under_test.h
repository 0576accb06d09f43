// One echo canceller as the bench drives it: 20 ms frames of 48 kHz mono audio.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class CancellerUnderTest {
 public:
  virtual ~CancellerUnderTest() = default;
  virtual std::string Name() const = 0;
  // Called once per 20 ms: far is what is played now, mic what is captured now.
  virtual void ProcessFrame(const int16_t* far, const int16_t* mic, int16_t* out) = 0;
};

constexpr int kBenchRate = 48000;
constexpr int kBenchFrame = 960;

// echo_delay_ms: the delay a device layer would report (used by webrtc only).
std::unique_ptr<CancellerUnderTest> MakeSerrinCanceller(bool noise_suppression);
std::unique_ptr<CancellerUnderTest> MakeSpeexCanceller(bool preprocess, int filter_ms);
std::unique_ptr<CancellerUnderTest> MakeWebrtcCanceller(int echo_delay_ms);
