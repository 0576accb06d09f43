// A text listing of a board's pages and graphs in drawing order, for comparing two
// participants' boards in tests and test hosts (never in the shipped libraries).
#pragma once

#include <string>

namespace kiv_wb {

class Board;
class Page;

std::string DescribePage(const Page& page);
std::string DescribeBoard(const Board& board);

}  // namespace kiv_wb
