#include "detector_chain.h"

#include <cstring>

void detector_chain_init(DetectorChain* d) {
  std::memset(d, 0, sizeof(*d));
  d->delay_frames = 12;
}

void detector8k_process(int16_t*, const int16_t*, int, int, DetectorChain*) {}
