// The echo-canceller port over CAEC: the audio core's frame record and calls in CAEC's terms.
#pragma once

#include <memory>
#include <string>

#include "core/processing_ports.h"
#include "echo_canceller.h"

class CaecEchoCancellerPort : public EchoCancellerPort {
 public:
  // A port over a new CAEC; null when it cannot be created.
  static std::unique_ptr<EchoCancellerPort> Create();

  explicit CaecEchoCancellerPort(std::unique_ptr<CAEC> aec);

  // 0 when processed, CAEC::kResultRejected for a frame it refuses.
  int Process(EchoFrameArgs* frame) override;
  bool HasDelayLine() const override;
  void WriteFarEnd(const int16_t* frame) override;
  bool HasCoreState() const override;
  float CurrentGain() const override;
  float CurrentErle() const override;
  [[nodiscard]] bool SaveState(const std::string& mic, const std::string& speaker, int mic_level,
                               float mic_boost) override;
  bool RestoreState(const std::string& mic, const std::string& speaker, float* best_erle, int* mic_level,
                    float* mic_boost) override;
  void SetMusicMode(bool on) override;
  void SetDumpFiles(FILE* const files[5]) override;

  // The echo canceller itself (tests look at its delay line and frame count).
  CAEC* aec() { return aec_.get(); }

 private:
  std::unique_ptr<CAEC> aec_;
};
