#include "detector_chain.h"

#include <cstring>

namespace {

// 480 of the first 640 gathered samples, sample i from index floor(i x 1.333333 + 0.5).
void PickBlock(const int16_t* from, int16_t* block) {
  for (int i = 0; i < kTransientBlock; ++i) {
    block[i] = from[static_cast<int>(i * 1.333333 + 0.5)];
  }
}

}  // namespace

void detector_chain_init(DetectorChain* d) {
  std::memset(d, 0, sizeof(*d));
  transient_bank_init(&d->bank);
  detector8k_init(&d->stage);
}

void detector8k_process(int16_t* frame, const int16_t* alternative, int switch_init, int switch_frame,
                        DetectorChain* d) {
  if (!switch_init || !switch_frame) return;
  std::memcpy(d->gatherer + d->fill, frame, sizeof(int16_t) * kChainFrame);
  d->fill += kChainFrame;
  if (d->fill >= kGatherStep) {
    int16_t block[kTransientBlock];
    PickBlock(d->gatherer, block);
    d->fill -= kGatherStep;
    std::memmove(d->gatherer, d->gatherer + kGatherStep, sizeof(int16_t) * d->fill);
    transient_bank_process(block, &d->bank);
    int16_t decimated[kDetectorFrame];
    decimate6(block, decimated, d->decimator_history);
    detector8k_frames(decimated, kDetectorFrame, &d->output, &d->stage);
  }
  const Detector8kEntry& last = d->output.entry[d->output.count > 0 ? d->output.count - 1 : 0];
  frame_delay_switch(frame, alternative, last.harmonic, last.loud_harmonic, d->bank.transient, d->bank.quiet,
                     &d->bank.delay);
}
