#include "wb/editor/rich_edit_hooks.h"

#include "wb/board_window_views.h"
#include "wb/canvas/gdip_canvas_impl.h"
#include "wb/editor/rich_edit_ui.h"

namespace kiv_wb {
namespace {

kiv::CRichEditUI* Editor(IEditView* view) { return static_cast<kiv::CRichEditUI*>(view); }

IEditView* CreateEditView(HWND window, IBoardCanvas* canvas) {
  auto* editor = new kiv::CRichEditUI();
  editor->Init(window, static_cast<kiv::GDIPCanvasImpl*>(canvas));
  return editor;
}

void DestroyEditView(IEditView* view) { delete Editor(view); }

LRESULT EditorMessage(IEditView* view, UINT message, WPARAM wParam, LPARAM lParam, bool* handled) {
  return Editor(view)->HandleMessage(message, wParam, lParam, handled);
}

void EditorEvent(IEditView* view, UINT message, WPARAM wParam, LPARAM lParam, const POINT* cursor) {
  kiv::CRichEditUI::Event event;
  event.message = message;
  event.wParam = wParam;
  event.lParam = lParam;
  if (cursor) event.cursor = *cursor;
  Editor(view)->OnEvent(event);
}

}  // namespace

void InstallRichEditHooks() {
  BoardWindowViewHooks& hooks = BoardViewHooks();
  hooks.createEditView = &CreateEditView;
  hooks.destroyEditView = &DestroyEditView;
  hooks.editorMessage = &EditorMessage;
  hooks.editorEvent = &EditorEvent;
}

}  // namespace kiv_wb
