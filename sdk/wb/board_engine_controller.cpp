#include "wb/board_engine_controller.h"

#include <atomic>

#include "wb/board_controller_binding.h"

namespace kiv_wb {

namespace {

std::unique_ptr<IBoardController> MakeDefault() { return MakeDrawingBoardController(); }

std::atomic<BoardControllerFactory> g_factory{nullptr};

}  // namespace

std::unique_ptr<IBoardController> MakeBoardController() {
  BoardControllerFactory factory = g_factory.load();
  return factory ? factory() : MakeDefault();
}

BoardControllerFactory SetBoardControllerFactory(BoardControllerFactory factory) { return g_factory.exchange(factory); }

}  // namespace kiv_wb
