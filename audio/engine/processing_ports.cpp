#include "processing_ports.h"

// The library does not yet carry the echo canceller, the voice-energy detectors or the
// speaker limiter: the audio core then passes frames through unprocessed.
std::unique_ptr<EchoCancellerPort> CreateEchoCanceller() { return nullptr; }

std::unique_ptr<VoiceDetectorPort> CreateVoiceDetector() { return nullptr; }

std::unique_ptr<SpeakerLimiterPort> CreateSpeakerLimiter(LimiterParameters*) { return nullptr; }
