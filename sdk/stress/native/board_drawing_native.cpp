// The board windows of the native stress build get no canvas and no text editor: the GDI+
// canvas and the rich-edit editor exist only on Windows. Boards still open, sync and close.
#include "wb/canvas/gdip_canvas_hooks.h"
#include "wb/editor/rich_edit_hooks.h"

namespace kiv_wb {

void InstallGdipCanvasHooks() {}
void InstallRichEditHooks() {}

}  // namespace kiv_wb
