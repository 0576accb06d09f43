#include "wb/model/graph_factory.h"

#include "wb/model/graph_line.h"
#include "wb/model/graph_path.h"
#include "wb/model/graph_text.h"

namespace kiv_wb {

std::shared_ptr<GraphBase> CreateGraph(int kind, uint32_t id, Board* board, int pageId) {
  switch (kind) {
    case GraphLine::kKind:
      return std::make_shared<GraphLine>(id, board, pageId);
    case GraphPath::kKind:
      return std::make_shared<GraphPath>(id, board, pageId);
    case GraphText::kKind:
      return std::make_shared<GraphText>(id, board, pageId);
    default:
      return nullptr;
  }
}

}  // namespace kiv_wb
