// The 8 kHz detector chain and the switchable frame delay in the output path.
//
// Placeholder kernel: frames pass untouched and no state changes.
#pragma once

#include <cstdint>

struct DetectorChain {
  int16_t gatherer[1120];
  int32_t fill;
  int32_t delay_frames;  // 12 after init
  int32_t harmonic;
  int32_t loud_harmonic;
};

void detector_chain_init(DetectorChain* d);

// Runs on 480 samples (modified in place) with the alternative frame of 480 samples when
// both switches are on.
void detector8k_process(int16_t* frame, const int16_t* alternative, int switch_init,
                        int switch_frame, DetectorChain* d);
