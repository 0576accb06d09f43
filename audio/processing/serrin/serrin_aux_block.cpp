#include "serrin_aux_block.h"

#include <cstring>
#include <new>

AuxBlock* serrin_alloc_aux() {
  AuxBlock* block = new (std::nothrow) AuxBlock;
  if (block == nullptr) return nullptr;
  std::memset(block, 0, sizeof(AuxBlock));
  for (float& g : block->bin_gains) g = 1.0f;
  return block;
}

void serrin_free_aux(AuxBlock* block) { delete block; }
