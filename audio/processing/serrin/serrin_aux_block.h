// Auxiliary block of the serrin core: a work area and per-bin values, allocated whole.
#pragma once

#include <cstdint>

constexpr int kAuxWorkWords = 8192;

struct AuxBlock {
  int32_t lead;               // 0
  float work[kAuxWorkWords];  // zeroed work area
  int32_t tail[2];            // 0
  float bin_values[960];      // 0
  float bin_gains[960];       // 1.0: per-bin gains start at unity
};

// A new, initialised block, or null when it cannot be allocated.
AuxBlock* serrin_alloc_aux();
void serrin_free_aux(AuxBlock* block);
