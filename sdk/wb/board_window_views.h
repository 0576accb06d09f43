// The views a board window holds besides its controller: the drawing surface and the text
// editor. They are made through these hooks, which the canvas and the editor install; with
// no hook installed a board window has neither and paints a blank board.
#pragma once

#include <windows.h>

namespace kiv_wb {

class IBoardCanvas;
class IEditView;

struct BoardWindowViewHooks {
    IBoardCanvas* (*createCanvas)(HWND window) = nullptr;
    void (*destroyCanvas)(IBoardCanvas* canvas) = nullptr;
    void (*setPaintDC)(IBoardCanvas* canvas, HDC dc) = nullptr;
    IEditView* (*createEditView)(HWND window, IBoardCanvas* canvas) = nullptr;
    void (*destroyEditView)(IEditView* view) = nullptr;
    // The editor sees every message first; *handled says whether it took it.
    LRESULT (*editorMessage)(IEditView* view, UINT message, WPARAM wParam, LPARAM lParam, bool* handled) = nullptr;
    // Size, focus, timer and cursor messages; `cursor` in client coordinates (WM_SETCURSOR).
    void (*editorEvent)(IEditView* view, UINT message, WPARAM wParam, LPARAM lParam, const POINT* cursor) = nullptr;
};

// The hooks in use (all null by default).
BoardWindowViewHooks& BoardViewHooks();

}  // namespace kiv_wb
