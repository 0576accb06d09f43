// The 8 kHz detector chain: every 10 ms frame of the processed signal is gathered; three
// blocks per four frames are picked from it (480 of every 640 samples) for the transient
// bank and, decimated by six, for the 8 kHz stage. The flags drive the switchable frame
// delay that every frame passes through.
#pragma once

#include <cstdint>

#include "detector8k.h"
#include "transient_bank.h"

constexpr int kChainFrame = 480;
constexpr int kGatherer = 1120;
constexpr int kGatherStep = 640;

struct DetectorChain {
  int16_t gatherer[kGatherer];
  int32_t fill;
  int16_t decimator_history[kDecimateTaps - 1];
  TransientBank bank;  // with the frame delay
  Detector8k stage;
  Detector8kOutput output;
};

void detector_chain_init(DetectorChain* d);

// Runs on 480 samples (modified in place) with the alternative frame of 480 samples when
// both switches are on; otherwise the frame and the chain stay untouched.
void detector8k_process(int16_t* frame, const int16_t* alternative, int switch_init, int switch_frame,
                        DetectorChain* d);
