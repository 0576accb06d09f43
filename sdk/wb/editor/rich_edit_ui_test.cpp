// The text editor on a real board window (the whiteboard facade's window, its canvas and its
// controller), with the system's windowless rich-edit control.
#include "wb/editor/rich_edit_ui.h"

#include <gtest/gtest.h>

#include <richedit.h>

#include <string>

#include "core/env/testing/fake_framework.h"
#include "wb/board_controller_install.h"
#include "wb/board_window_views.h"
#include "wb/canvas/gdip_canvas_impl.h"
#include "wb/canvas/testing/gdiplus_session.h"
#include "wb/editor/testing/typed_input.h"
#include "wb/kiv_white_board_impl.h"

namespace {

constexpr char kBoard[] = "wb-edit";
constexpr char kFace[] = "Arial";
constexpr int kFontSize = 20;

// The views the facade makes for its window, seen by the test.
kiv_wb::IEditView* (*g_makeEditor)(HWND, kiv_wb::IBoardCanvas*) = nullptr;
kiv::CRichEditUI* g_editor = nullptr;
kiv::GDIPCanvasImpl* g_canvas = nullptr;

kiv_wb::IEditView* SeenEditor(HWND window, kiv_wb::IBoardCanvas* canvas) {
  kiv_wb::IEditView* view = g_makeEditor(window, canvas);
  g_editor = static_cast<kiv::CRichEditUI*>(view);
  g_canvas = static_cast<kiv::GDIPCanvasImpl*>(canvas);
  return view;
}

bool RunsUnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

class RichEditUITest : public ::testing::Test {
 protected:
  void SetUp() override {
    fw.Install(&env);
    kiv_wb::InstallBoardDrawing();
    kiv_wb::BoardWindowViewHooks& hooks = kiv_wb::BoardViewHooks();
    g_makeEditor = hooks.createEditView;
    hooks.createEditView = &SeenEditor;
    parent = CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"parent", WS_POPUP | WS_VISIBLE, 0, 0, 640, 360, nullptr,
                             nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(parent, nullptr);
    ASSERT_EQ(wb.Open(kBoard, parent), 0);
    board = wb.GetWindow(kBoard);
    ASSERT_NE(board, nullptr);
    MoveWindow(board, 0, 0, 640, 360, TRUE);
    editor = g_editor;
    canvas = g_canvas;
    ASSERT_NE(editor, nullptr);
    ASSERT_NE(canvas, nullptr);
    Pump();
  }
  void TearDown() override {
    wb.CloseAllBoards();
    DestroyWindow(parent);
    kiv_wb::BoardViewHooks().createEditView = g_makeEditor;
  }

  // As the text command opens the editor on a board 1280 wide in this 640-pixel window.
  void Show(int x, int y, float pixelSize = 10.0f) {
    editor->SetTextFont(kFace, kFontSize, pixelSize, 0xFFFF0000);
    editor->MoveTo(x, y, 400);
    editor->SetText(std::string());
    editor->SetVisible(true);
    Pump();
  }
  void Type(const std::wstring& text) {
    for (wchar_t c : text) SendMessageW(board, WM_CHAR, c, 1);
    Pump();
  }
  void Key(WPARAM key, wchar_t c) {
    SendMessageW(board, WM_KEYDOWN, key, 1);
    SendMessageW(board, WM_CHAR, c, 1);
    SendMessageW(board, WM_KEYUP, key, 0xC0000001);
    Pump();
  }
  void Click(int x, int y) {
    SendMessageW(board, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageW(board, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    Pump();
  }
  SIZE Measure(const std::wstring& text) {
    canvas->SetFontW(L"Arial", kFontSize, 0xFF000000);
    SIZE size = {0, 0};
    int w = 0, h = 0;
    canvas->MeasureTextW(text, &w, &h);
    size.cx = w;
    size.cy = h;
    return size;
  }
  RECT Rect() {
    RECT r;
    editor->GetRect(reinterpret_cast<int*>(&r.left), reinterpret_cast<int*>(&r.top), reinterpret_cast<int*>(&r.right),
                    reinterpret_cast<int*>(&r.bottom));
    return r;
  }
  CHARRANGE Selection() {
    CHARRANGE range = {-1, -1};
    LRESULT ignored = 0;
    editor->SendTextMessage(EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range), &ignored);
    return range;
  }

  kiv_wb::GdiplusSession gdiplus;
  kiv_fake::Framework fw;
  kiv_core::CoreEnv env;
  kiv::KivWhiteBoardImpl wb;
  HWND parent = nullptr;
  HWND board = nullptr;
  kiv::CRichEditUI* editor = nullptr;
  kiv::GDIPCanvasImpl* canvas = nullptr;
};

// An empty editor is one "W" measured twice (placeholder and room); it grows with the text
// typed, its control follows a move, and the painter draws its dashed frame onto the board.
TEST_F(RichEditUITest, LayoutFollowsTheTextAndTheFrameIsDrawn) {
  ASSERT_TRUE(editor->HasHost()) << "msftedit.dll / CreateTextServices unavailable";
  Show(100, 50);
  const SIZE w = Measure(L"W");
  ASSERT_GT(w.cx, 0);
  RECT r = Rect();
  EXPECT_EQ(r.left, 100);
  EXPECT_EQ(r.top, 50);
  EXPECT_EQ(r.right - r.left, 2 * w.cx);
  EXPECT_EQ(r.bottom - r.top, 2 * w.cy);

  Type(L"WWWW");
  EXPECT_EQ(editor->GetText(), "WWWW");
  const SIZE text = Measure(L"WWWW");
  r = Rect();
  EXPECT_EQ(r.right - r.left, text.cx + w.cx);
  EXPECT_EQ(r.bottom - r.top, text.cy + w.cy);
  // Moved, the control lays its text out in the new place.
  editor->MoveTo(300, 120, 400);
  POINTL first = {-1, -1};
  LRESULT ignored = 0;
  EXPECT_EQ(editor->SendTextMessage(EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&first), 0, &ignored), S_OK);
  EXPECT_EQ(first.x, 300);
  EXPECT_EQ(first.y, 120);
  r = Rect();

  InvalidateRect(board, nullptr, FALSE);
  UpdateWindow(board);
  Gdiplus::Bitmap* frame = canvas->GetBackBuffer();
  ASSERT_NE(frame, nullptr);
  int framePixels = 0;
  for (LONG x = r.left; x <= r.right; ++x) {
    Gdiplus::Color c;
    frame->GetPixel(x, r.top, &c);
    framePixels += (c.GetValue() & 0xFFFFFF) == (kiv::CRichEditUI::kFrameColour & 0xFFFFFF) ? 1 : 0;
  }
  // Dashes of 2 and gaps of 1 pen widths: about two thirds of the edge.
  EXPECT_GT(framePixels, (r.right - r.left) / 3);
  EXPECT_LT(framePixels, r.right - r.left);

  editor->SetVisible(false);
  InvalidateRect(board, nullptr, FALSE);
  UpdateWindow(board);
  Gdiplus::Color c;
  frame->GetPixel(r.left + 1, r.top, &c);
  EXPECT_NE(c.GetValue() & 0xFFFFFF, kiv::CRichEditUI::kFrameColour & 0xFFFFFF);
}

// A click outside the editor is the board's (here: a line is drawn); inside it focuses the
// board window and moves the control's insertion point, and the board does not see it.
TEST_F(RichEditUITest, ClicksOutsideGoToTheBoardInsideToTheControl) {
  ASSERT_TRUE(editor->HasHost());
  wb.SetOperation(kBoard, 1);
  wb.SetGraphType(kBoard, 1);
  Show(100, 50);
  Type(L"WWWW");
  EXPECT_EQ(Selection().cpMin, 4);
  const RECT r = Rect();

  Click(r.right + 20, r.bottom + 20);
  EXPECT_EQ(wb.GetUndoCount(kBoard), 1) << "the board drew a line";

  SetFocus(parent);
  ASSERT_EQ(GetFocus(), parent);
  EXPECT_FALSE(editor->IsFocused());
  Click(r.left + 1, r.top + 2);
  EXPECT_EQ(GetFocus(), board);
  EXPECT_TRUE(editor->IsFocused());
  EXPECT_EQ(Selection().cpMin, 0) << "the click put the insertion point before the text";
  EXPECT_EQ(wb.GetUndoCount(kBoard), 1) << "the board did not see the click";
  Type(L"a");
  EXPECT_EQ(editor->GetText(), "aWWWW");
}

// Keys reach the control only while it has the focus; Enter breaks the line (CR LF back).
TEST_F(RichEditUITest, KeysWhileFocusedAndEnterBreaksTheLine) {
  ASSERT_TRUE(editor->HasHost());
  Show(40, 40);
  EXPECT_EQ(GetFocus(), board);
  EXPECT_TRUE(editor->IsFocused());
  Type(L"ab");
  Key(VK_RETURN, L'\r');
  Type(L"c");
  EXPECT_EQ(editor->GetText(), "ab\r\nc");
  const SIZE w = Measure(L"W");
  EXPECT_GT(Rect().bottom - Rect().top, 2 * w.cy) << "two lines are taller than one";

  SetFocus(parent);
  EXPECT_FALSE(editor->IsFocused());
  bool handled = true;
  editor->HandleMessage(WM_CHAR, L'x', 1, &handled);
  EXPECT_FALSE(handled);
  Type(L"xyz");
  EXPECT_EQ(editor->GetText(), "ab\r\nc");
}

// An input method's composition: the readings stay out of the text, the chosen characters
// arrive once at the insertion point; plain characters follow them.
TEST_F(RichEditUITest, CompositionResultArrivesOnce) {
  ASSERT_TRUE(editor->HasHost());
  Show(40, 40);
  kiv_test::SendComposition(board, {L"t", L"ta", L"tan", L"tan'p", L"tan'pa", L"tan'pan"}, L"\u8C08\u5224");
  Pump();
  EXPECT_EQ(editor->GetText(), "\xE8\xB0\x88\xE5\x88\xA4");
  Type(L" agenda");
  EXPECT_EQ(editor->GetText(), "\xE8\xB0\x88\xE5\x88\xA4 agenda");
  kiv_test::SendComposition(board, {L"t", L"ta"}, L"\u8C08");
  Pump();
  EXPECT_EQ(editor->GetText(), "\xE8\xB0\x88\xE5\x88\xA4 agenda\xE8\xB0\x88") << "inserted where the caret is";
}

// A 12-pixel font gives the control 242 twips; the colour arrives red-blue swapped; the
// control takes at most 32767 characters.
TEST_F(RichEditUITest, FontHeightAndTextLimit) {
  ASSERT_TRUE(editor->HasHost());
  Show(10, 10, 12.0f);
  editor->SetText("abc");
  CHARRANGE all = {0, -1};
  LRESULT ignored = 0;
  editor->SendTextMessage(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&all), &ignored);
  CHARFORMAT2W format = {};
  format.cbSize = sizeof(format);
  editor->SendTextMessage(EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format), &ignored);
  EXPECT_EQ(format.yHeight, 242);
  EXPECT_EQ(format.crTextColor, RGB(0xFF, 0, 0));
  EXPECT_STREQ(format.szFaceName, L"Arial");

  // Typing stops at the limit.
  editor->SetText(std::string(32766, 'a'));
  Type(L"bc");
  const std::string typed = editor->GetText();
  EXPECT_EQ(typed.size(), 32767u);
  EXPECT_EQ(typed.back(), 'b');

  // A longer text given at once is cut too (Windows); Wine's control takes it whole.
  editor->SetText(std::string(40000, 'a'));
  if (RunsUnderWine()) {
    EXPECT_EQ(editor->GetText().size(), 40000u) << "Wine's EM_REPLACESEL ignores the text limit";
  } else {
    EXPECT_EQ(editor->GetText().size(), 32767u);
  }
}

// Without the rich-edit library (run with the library disabled): the editor lays out and
// draws its frame, SetText and GetText do nothing, messages answer S_FALSE and are not
// taken from the board.
TEST_F(RichEditUITest, WithoutTheLibrary) {
  if (HMODULE library = LoadLibraryW(L"msftedit.dll")) {
    FreeLibrary(library);
    GTEST_SKIP() << "msftedit.dll loads here; RichEditUITest.WithoutTheLibrary runs with it disabled";
  }
  EXPECT_FALSE(editor->HasHost());
  Show(100, 50);
  const SIZE w = Measure(L"W");
  const RECT r = Rect();
  EXPECT_EQ(r.right - r.left, 2 * w.cx);
  EXPECT_EQ(r.bottom - r.top, 2 * w.cy);
  editor->SetText("abc");
  EXPECT_EQ(editor->GetText(), "");
  LRESULT result = 7;
  EXPECT_EQ(editor->SendTextMessage(WM_CHAR, L'a', 1, &result), S_FALSE);
  bool handled = true;
  editor->HandleMessage(WM_CHAR, L'a', 1, &handled);
  EXPECT_FALSE(handled);
  wb.SetOperation(kBoard, 1);
  wb.SetGraphType(kBoard, 1);
  Click(r.left + 2, r.top + 2);
  EXPECT_EQ(wb.GetUndoCount(kBoard), 1) << "with no control, a click inside the frame is the board's";
  InvalidateRect(board, nullptr, FALSE);
  UpdateWindow(board);
}

}  // namespace
