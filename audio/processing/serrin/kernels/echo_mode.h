// The echo mode of a frame: decided once per frame by the serrin core and read by its kernels.
// Kept as plain int32 values: the mode is a word of the core's state record.
#pragma once

#include <cstdint>

constexpr int32_t kEchoModeNoFarEnd = 1;  // the far end is quiet
constexpr int32_t kEchoModeEchoOnly = 2;  // far end loud, the microphone holds its echo only
constexpr int32_t kEchoModeNearEnd = 3;   // far end loud and more than its echo in the microphone
