#include <gtest/gtest.h>

#include "render/gdiplus_include.h"
#include "window/testing/window_test_support.h"

namespace {

using namespace DuiLib;
using winlib_test::PumpFor;
using winlib_test::PumpUntil;
using winlib_test::TestWindow;

// The test skin's image, drawn here rather than kept as a file: 20x20 opaque blue.
void WriteTestImage() {
  EnsureGdiplus();
  wchar_t module[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, module, MAX_PATH);
  std::wstring path(module);
  path = path.substr(0, path.find_last_of(L"\\/") + 1) + L"winlib_test_skin\\dot.png";
  Gdiplus::Bitmap bitmap(20, 20, PixelFormat32bppARGB);
  {
    Gdiplus::Graphics g(&bitmap);
    Gdiplus::SolidBrush blue(Gdiplus::Color(255, 0x20, 0x40, 0xE0));
    g.FillRectangle(&blue, 0, 0, 20, 20);
  }
  const CLSID png = {0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
  ASSERT_EQ(bitmap.Save(path.c_str(), &png, nullptr), Gdiplus::Ok);
}

class InputsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteTestImage();
    ASSERT_NE(m_window.CreateShown(), nullptr);
  }
  void TearDown() override {
    m_window.Close();
    PumpUntil([&] { return m_window.final_message; });
  }
  template <class T>
  T* Find(const wchar_t* name) {
    return static_cast<T*>(m_window.Find(name));
  }
  size_t Count(const std::wstring& type, const std::wstring& sender) const {
    size_t n = 0;
    for (const auto& r : m_window.received) n += (r.type == type && r.sender == sender) ? 1 : 0;
    return n;
  }

  TestWindow m_window{L"inputs.xml"};
};

// Verifies the edit: text set and read back through the native window, typing sends
// "textchanged", and the keyboard focus sends "setfocus" and, when a click takes it
// away, "killfocus".
TEST_F(InputsTest, EditTextAndFocusNotifications) {
  auto* edit = Find<CEditUI>(L"edit");
  ASSERT_NE(edit->GetNativeWindow(), nullptr);
  edit->SetText(L"群组");
  EXPECT_EQ(edit->GetText(), CDuiString(L"群组"));
  EXPECT_EQ(Count(L"textchanged", L"edit"), 0u);  // setting text is no user edit
  edit->SetFocus();
  ASSERT_TRUE(PumpUntil([&] { return Count(L"setfocus", L"edit") == 1; }));
  ::SendMessageW(edit->GetNativeWindow(), WM_CHAR, L'x', 0);
  ASSERT_TRUE(PumpUntil([&] { return Count(L"textchanged", L"edit") >= 1; }));
  EXPECT_GE(edit->GetText().Find(L"x"), 0);
  winlib_test::ClickControl(m_window.GetHWND(), m_window.Find(L"other"));
  ASSERT_TRUE(PumpUntil([&] { return Count(L"killfocus", L"edit") == 1; }));
  edit->SetVisible(false);
  EXPECT_FALSE(::IsWindowVisible(edit->GetNativeWindow()));
}

// Verifies that rich text appends at the end, reports where each part starts, and takes
// a character format for a selection.
TEST_F(InputsTest, RichEditAppendsAndFormats) {
  auto* rich = Find<CRichEditUI>(L"rich");
  ASSERT_NE(rich->GetNativeWindow(), nullptr);
  EXPECT_EQ(rich->AppendText(L"abc"), 0);
  EXPECT_EQ(rich->AppendText(L"系统"), 3);
  EXPECT_EQ(rich->GetTextLength(GTL_NUMCHARS | GTL_PRECISE), 5);
  rich->SetSel(0, 3);
  CHARFORMAT2W cf = {};
  cf.dwMask = CFM_COLOR;
  cf.crTextColor = RGB(0xFF, 0x33, 0x66);
  EXPECT_TRUE(rich->SetSelectionCharFormat(cf));
  EXPECT_EQ(rich->GetText(), CDuiString(L"abc系统"));
}

// Verifies the combo: a selection sends "itemselect" with the new and old index and
// shows the item's text; removing items before it keeps the selection on the same item;
// a click opens the drop-down, whose item click selects and closes it.
TEST_F(InputsTest, ComboSelectsThroughItsDropDown) {
  auto* combo = Find<CComboUI>(L"combo");
  for (const wchar_t* text : {L"所有人", L"bob", L"carol"}) {
    auto* item = new CListLabelElementUI;
    item->SetText(text);
    ASSERT_TRUE(combo->Add(item));
  }
  CButtonUI not_an_item;
  EXPECT_FALSE(combo->Add(&not_an_item));  // only list items belong in a combo
  EXPECT_EQ(combo->GetCurSel(), -1);
  ASSERT_TRUE(combo->SelectItem(1));
  EXPECT_EQ(combo->GetText(), CDuiString(L"bob"));
  EXPECT_EQ(Count(L"itemselect", L"combo"), 1u);
  combo->RemoveAt(0);
  EXPECT_EQ(combo->GetCurSel(), 0);
  EXPECT_EQ(combo->GetText(), CDuiString(L"bob"));

  winlib_test::ClickControl(m_window.GetHWND(), combo);
  HWND popup = nullptr;
  ASSERT_TRUE(PumpUntil([&] { return (popup = ::FindWindowW(L"ComboWnd", nullptr)) != nullptr; }));
  LPARAM second = MAKELPARAM(10, 1 + 24 + 12);
  ::PostMessageW(popup, WM_LBUTTONDOWN, MK_LBUTTON, second);
  ::PostMessageW(popup, WM_LBUTTONUP, 0, second);
  ASSERT_TRUE(PumpUntil([&] { return combo->GetCurSel() == 1; }));
  EXPECT_EQ(combo->GetText(), CDuiString(L"carol"));
  ASSERT_TRUE(PumpUntil([&] { return ::FindWindowW(L"ComboWnd", nullptr) == nullptr; }));
}

// Verifies that changing a combo's items closes its open drop-down without applying a
// row of the old list: a new item before the last, then the click on the row that showed
// "carol", selects nothing (the row now stands for "dave"); a click already queued when an
// item goes is dropped too; each of AddAt, RemoveAt, SetItemIndex and RemoveAll closes it.
TEST_F(InputsTest, ComboDropDownGoesWhenItsItemsChange) {
  auto* combo = Find<CComboUI>(L"combo");
  for (const wchar_t* text : {L"所有人", L"bob", L"carol"}) {
    auto* item = new CListLabelElementUI;
    item->SetText(text);
    ASSERT_TRUE(combo->Add(item));
  }
  ASSERT_TRUE(combo->SelectItem(0));
  auto open = [&] {
    HWND popup = nullptr;
    winlib_test::ClickControl(m_window.GetHWND(), combo);
    EXPECT_TRUE(PumpUntil([&] { return (popup = ::FindWindowW(L"ComboWnd", nullptr)) != nullptr; }));
    return popup;
  };
  auto clickRow = [](HWND popup, int row) {
    const LPARAM at = MAKELPARAM(10, 1 + 24 * row + 12);
    ::PostMessageW(popup, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::PostMessageW(popup, WM_LBUTTONUP, 0, at);
  };
  auto gone = [] { return PumpUntil([] { return ::FindWindowW(L"ComboWnd", nullptr) == nullptr; }); };

  HWND popup = open();
  auto* dave = new CListLabelElementUI;
  dave->SetText(L"dave");
  ASSERT_TRUE(combo->AddAt(dave, combo->GetCount() - 1));
  clickRow(popup, 2);
  PumpFor(100);
  EXPECT_TRUE(gone()) << "the drop-down stayed open over changed items";
  EXPECT_EQ(combo->GetText(), CDuiString(L"所有人"));

  popup = open();
  clickRow(popup, 2);  // "dave", then "bob" goes: row 2 would now be "carol"
  combo->RemoveAt(1);
  PumpFor(100);
  EXPECT_TRUE(gone());
  EXPECT_EQ(combo->GetText(), CDuiString(L"所有人")) << "a row of the old list was applied";

  popup = open();
  ASSERT_TRUE(combo->SetItemIndex(dave, 2));
  EXPECT_TRUE(gone());
  open();
  combo->RemoveAll();
  EXPECT_TRUE(gone());
  EXPECT_EQ(combo->GetCurSel(), -1);
}

// Verifies that a press on the slider moves its value there and sends "valuechanged"
// when released.
TEST_F(InputsTest, SliderFollowsThePress) {
  auto* slider = Find<CSliderUI>(L"slider");
  EXPECT_EQ(slider->GetValue(), 10);
  RECT rc = slider->GetPos();
  LPARAM at = MAKELPARAM(rc.left + (rc.right - rc.left) * 3 / 4, (rc.top + rc.bottom) / 2);
  ::PostMessageW(m_window.GetHWND(), WM_LBUTTONDOWN, MK_LBUTTON, at);
  ::PostMessageW(m_window.GetHWND(), WM_LBUTTONUP, 0, at);
  ASSERT_TRUE(PumpUntil([&] { return Count(L"valuechanged", L"slider") == 1; }));
  EXPECT_NEAR(slider->GetValue(), 75, 3);
}

// Verifies that a list longer than its room scrolls: selecting the last item brings it
// into view, and the wheel scrolls back by a step.
TEST_F(InputsTest, LongListScrolls) {
  auto* list = Find<CListUI>(L"long_list");
  for (int i = 0; i < 20; ++i) {
    auto* item = new CListLabelElementUI;
    item->SetText((L"item " + std::to_wstring(i)).c_str());
    list->Add(item);
  }
  PumpFor(100);  // layout
  ASSERT_GT(list->GetScrollRange(), 0);
  ASSERT_TRUE(list->SelectItem(19));
  PumpFor(50);
  EXPECT_EQ(list->GetScrollPos(), list->GetScrollRange());
  RECT last = list->GetItemAt(19)->GetPos();
  EXPECT_LE(last.bottom, list->GetPos().bottom);
  const int before = list->GetScrollPos();
  RECT rc = list->GetPos();
  POINT at{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
  ::ClientToScreen(m_window.GetHWND(), &at);
  ::SendMessageW(m_window.GetHWND(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), MAKELPARAM(at.x, at.y));
  EXPECT_LT(list->GetScrollPos(), before);
}

// Verifies what is painted: a background colour, an image from the skin folder and
// CJK text in the skin's font.
TEST_F(InputsTest, PaintsColoursImagesAndText) {
  ::RedrawWindow(m_window.GetHWND(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  PumpFor(100);
  HDC dc = ::GetDC(m_window.GetHWND());
  auto centre = [&](const wchar_t* name) {
    RECT rc = m_window.Find(name)->GetPos();
    return ::GetPixel(dc, (rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
  };
  EXPECT_EQ(centre(L"red"), RGB(0xFF, 0, 0));
  EXPECT_EQ(centre(L"image"), RGB(0x20, 0x40, 0xE0));
  RECT text = m_window.Find(L"cjk")->GetPos();
  int inked = 0;
  for (int y = text.top; y < text.bottom; ++y) {
    for (int x = text.left; x < text.right; ++x) inked += ::GetPixel(dc, x, y) != RGB(0xFF, 0xFF, 0xFF) ? 1 : 0;
  }
  ::ReleaseDC(m_window.GetHWND(), dc);
  EXPECT_GT(inked, 60) << "the CJK text was not drawn";
}

// Verifies that a window's shadow lies around it by the hole offsets and hides with it.
TEST_F(InputsTest, ShadowFollowsItsWindow) {
  ASSERT_TRUE(CWndShadow::Initialize(::GetModuleHandleW(nullptr)));
  CWndShadow shadow;
  shadow.Create(m_window.GetHWND());
  shadow.SetImage(L"dot.png");
  shadow.SetShadowCorner(RECT{6, 6, 6, 6});
  shadow.SetHoleOffset(RECT{7, 7, 7, 7});
  ASSERT_NE(shadow.GetHWND(), nullptr);
  ::SetWindowPos(m_window.GetHWND(), nullptr, 100, 80, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  PumpFor(50);
  RECT win, sh;
  ::GetWindowRect(m_window.GetHWND(), &win);
  ::GetWindowRect(shadow.GetHWND(), &sh);
  EXPECT_EQ(sh.left, win.left - 7);
  EXPECT_EQ(sh.top, win.top - 7);
  EXPECT_EQ(sh.right, win.right + 7);
  EXPECT_EQ(sh.bottom, win.bottom + 7);
  EXPECT_TRUE(::IsWindowVisible(shadow.GetHWND()));
  ::ShowWindow(m_window.GetHWND(), SW_HIDE);
  PumpFor(50);
  EXPECT_FALSE(::IsWindowVisible(shadow.GetHWND()));
}

}  // namespace
