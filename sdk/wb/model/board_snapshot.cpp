#include "wb/model/board_snapshot.h"

#include <sstream>

#include "wb/model/board.h"
#include "wb/model/graph_line.h"
#include "wb/model/graph_path.h"
#include "wb/model/graph_text.h"

namespace kiv_wb {

std::string DescribePage(const Page& page) {
  std::ostringstream out;
  out << "page " << page.GetId() << "\n";
  for (const auto& g : page.GetGraphs()) {
    out << " g" << g->GetKind() << " " << g->GetId() << " pen " << g->GetBrushSize() << " " << g->GetColor();
    if (g->GetKind() == GraphLine::kKind) {
      int32_t x1, y1, x2, y2;
      static_cast<const GraphLine&>(*g).GetPoints(&x1, &y1, &x2, &y2);
      out << " " << x1 << "," << y1 << " " << x2 << "," << y2;
    } else if (g->GetKind() == GraphPath::kKind) {
      for (const IntPoint& p : static_cast<const GraphPath&>(*g).GetPoints()) {
        out << " " << p.x << "," << p.y;
      }
    } else if (g->GetKind() == GraphText::kKind) {
      const auto& t = static_cast<const GraphText&>(*g);
      const BoardRect r = t.GetRect();
      out << " [" << t.GetText() << "] " << r.left << "," << r.top << "," << r.right << "," << r.bottom << " "
          << t.GetFontName() << " " << t.GetFontSize() << " " << t.GetTextColor();
    }
    out << "\n";
  }
  return out.str();
}

std::string DescribeBoard(const Board& board) {
  std::ostringstream out;
  out << "board " << board.GetWidth() << "x" << board.GetHeight() << " pages " << board.GetPageCount() << "\n";
  for (int id = 0; id < board.GetPageCount(); ++id) {
    if (auto page = board.FindPage(id)) {
      out << DescribePage(*page);
    }
  }
  return out.str();
}

}  // namespace kiv_wb
