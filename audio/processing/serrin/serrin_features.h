// Feature switches of the serrin core, addressed by single-bit codes.
#pragma once

#include <cstdint>

// The switch words with the copies that the echo-path blocks read.
struct SerrinFeatures {
  int32_t adaptive_filter;  // code 1
  int32_t s2;               // code 2
  int32_t s2_copies[2];
  int32_t channel_select;  // code 4: dominant channel selection
  int32_t suppression;     // codes 8 and 32: suppression gain
  int32_t s16;             // code 16
  int32_t s16_copies[2];
  int32_t s32_copies[3];  // code 32
  int32_t s64;            // code 64
  int32_t s64_copies[2];
  int32_t s128;
  int32_t s256;
  int32_t s512;
  int32_t s1024;
  int32_t mode_a;  // code 2048
  int32_t mode_b;  // code 4096
  int32_t mode_c;  // code 8192
  int32_t s16384;
};

// Writes the switch of code and its copies; unknown codes change nothing. Modes A, B
// and C exclude each other when one is switched on.
void serrin_set_feature(int32_t code, int32_t value, SerrinFeatures* features);

// Codes 1 to 64 on, 128 to 16384 off.
void serrin_default_features(SerrinFeatures* features);
