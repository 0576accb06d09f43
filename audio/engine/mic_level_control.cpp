#include "mic_level_control.h"

// The library does not yet reach the endpoint's level: microphones run without a level
// control, which capture treats as "no volume controller".
std::unique_ptr<MicLevelControl> CreateMicLevelControl(const Guid&) { return nullptr; }
