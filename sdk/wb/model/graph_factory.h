// Makes a graph of a kind: 1 line, 2 path, 3 text; nothing for any other kind.
#pragma once

#include <memory>

#include "wb/model/graph_base.h"

namespace kiv_wb {

std::shared_ptr<GraphBase> CreateGraph(int kind, uint32_t id, Board* board, int pageId);

}  // namespace kiv_wb
