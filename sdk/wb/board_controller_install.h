// Sets up drawing on board windows: the GDI+ canvas and the text editor of every board window
// and the board controller's log line in the whiteboard's log.
#pragma once

namespace kiv_wb {

void InstallBoardDrawing();

}  // namespace kiv_wb
