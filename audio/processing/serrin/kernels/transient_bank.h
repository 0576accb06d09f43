// Transient bank of the 8 kHz detector chain: an 18-channel complex modulated filter bank
// over each 480-sample 48 kHz block, per-channel minimum trackers, and the transient sum
// (power above 100 times each channel's floor) with its `transient` and `quiet` flags. The
// switchable frame delay that these flags drive lives in the same record.
#pragma once

#include <cstdint>

#include "frame_delay_switch.h"

constexpr int kTransientChannels = 18;
constexpr int kTransientBlock = 480;
constexpr int kTransientRing = 4;
constexpr int kTransientSums = 8;
constexpr int kTransientPhases = 60;  // polyphase length: the bank's 240 taps fold to 60

struct TransientBank {
  int32_t rate;  // input rate, 48000 after init
  int16_t block[kTransientBlock];
  int16_t tail;  // last input sample, for the 32 kHz interpolation
  int32_t power[kTransientRing][kTransientChannels];
  int32_t ring_index;
  int64_t minimum[kTransientChannels];
  int64_t candidate[kTransientChannels];
  int32_t count[kTransientChannels];
  int64_t sums[kTransientSums];  // newest last
  int32_t hold;                  // 20 frames after four rising sums
  int32_t transient;             // sum > 4000000
  int32_t quiet;                 // sum < 90000
  int64_t last_sum;
  int32_t warm_up;  // blocks seen, up to the ring's length
  FrameDelaySwitch delay;
};

void transient_bank_init(TransientBank* b);

// Brings one block to 48 kHz (480 samples at 48 kHz, 320 at 32 kHz, 160 at 16 kHz, 80 at
// 8 kHz), runs the bank, the floors and `transient_decide`; returns the `transient` flag.
int transient_bank_process(const int16_t* samples, TransientBank* b);

// The transient sum of 18 channel powers against the floors, and the flags.
void transient_decide(const int32_t* power, TransientBank* b);

// The bank alone: 18 channel powers of a 48 kHz block (scaled and clamped as the chain uses
// them).
void transient_bank_powers(const int16_t* block, int32_t* power);
