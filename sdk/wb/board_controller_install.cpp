#include "wb/board_controller_install.h"

#include "wb/board_controller.h"
#include "wb/board_engine_log.h"
#include "wb/canvas/gdip_canvas_hooks.h"
#include "wb/editor/rich_edit_hooks.h"

namespace kiv_wb {
namespace {

void WriteLog(const std::string& line) { WB_LOG("%s", line.c_str()); }

}  // namespace

void InstallBoardDrawing() {
  InstallGdipCanvasHooks();
  InstallRichEditHooks();
  BoardController::SetLogFunction(&WriteLog);
}

}  // namespace kiv_wb
