#include "processing_ports.h"

#include "caec_echo_canceller_port.h"

std::unique_ptr<EchoCancellerPort> CreateEchoCanceller() { return CaecEchoCancellerPort::Create(); }

// The library does not yet carry the voice-energy detectors or the speaker limiter: the
// audio core then skips them.
std::unique_ptr<VoiceDetectorPort> CreateVoiceDetector() { return nullptr; }

std::unique_ptr<SpeakerLimiterPort> CreateSpeakerLimiter(LimiterParameters*) { return nullptr; }
