#include "core/processing_ports.h"

#include "core/caec_echo_canceller_port.h"
#include "core/speaker_limiter.h"
#include "voice_energy_detector.h"

namespace {

class VoiceEnergyDetectorPort : public VoiceDetectorPort {
 public:
  void Process(const int16_t* frame, int* voice, int* confirmed, float* energy) override {
    detector_.Process(frame, voice, confirmed, energy);
  }

 private:
  VoiceEnergyDetector detector_;  // initialised for 160-sample frames
};

}  // namespace

std::unique_ptr<EchoCancellerPort> CreateEchoCanceller() { return CaecEchoCancellerPort::Create(); }

std::unique_ptr<VoiceDetectorPort> CreateVoiceDetector() {
  return std::unique_ptr<VoiceDetectorPort>(new VoiceEnergyDetectorPort);
}

std::unique_ptr<SpeakerLimiterPort> CreateSpeakerLimiter(LimiterParameters* parameters) {
  return std::unique_ptr<SpeakerLimiterPort>(new SpeakerLimiter(parameters));
}
