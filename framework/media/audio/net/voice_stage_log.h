// Times at which voice frames pass the stages of the voice path, for the latency bench:
// written only when the environment variable KIV_VOICE_STAGES names a file when the first
// event comes; one line per event, "<stage> <ms> <sequence> <depth> <target>" (ms of the
// steady clock; depth and target of the jitter buffer at a pop, else -1). Without the
// variable every call returns at once. Thread-safe. Pure logic.
#pragma once

#include <cstdint>

namespace tessarine {

enum class VoiceStage { kSent, kArrived, kPopped };

void NoteVoiceStage(VoiceStage stage, uint16_t sequence, int depth = -1, int target = -1);

}  // namespace tessarine
