#include "windows/testing/box_answer.h"

#include <cwchar>

#include "windows/message_box.h"

using namespace DuiLib;

namespace {

BoxAnswer* g_answer = nullptr;

std::wstring TextOf(CPaintManagerUI& pm, const wchar_t* name) {
  CControlUI* control = pm.FindControl(name);
  return control ? control->GetText().GetData() : L"";
}

void CALLBACK AnswerBox(HWND, UINT, UINT_PTR id, DWORD) {
  HWND box = ::FindWindowW(L"CMessageBox", nullptr);
  if (!g_answer || !box || !::IsWindowVisible(box)) return;  // asked again at the next tick
  ::KillTimer(nullptr, id);
  auto* wnd = static_cast<CMessageBox*>(reinterpret_cast<CWindowWnd*>(::GetWindowLongPtrW(box, GWLP_USERDATA)));
  CPaintManagerUI& pm = wnd->GetPaintManager();
  g_answer->seen = true;
  g_answer->text = TextOf(pm, L"label_text");
  g_answer->ok = TextOf(pm, L"btn_ok");
  g_answer->cancel = TextOf(pm, L"btn_cancel");
  CControlUI* button = g_answer->button ? pm.FindControl(g_answer->button) : nullptr;
  if (!button) {
    ::PostMessageW(box, WM_CLOSE, 0, 0);
    return;
  }
  const RECT rc = button->GetPos();
  const LPARAM at = MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
  ::PostMessageW(box, WM_LBUTTONDOWN, MK_LBUTTON, at);
  ::PostMessageW(box, WM_LBUTTONUP, 0, at);
}

const wchar_t* g_refusedClass = nullptr;

LRESULT CALLBACK RefuseWindows(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND && g_refusedClass) {
    wchar_t cls[64] = {};
    ::GetClassNameW(reinterpret_cast<HWND>(wParam), cls, 64);
    if (std::wcscmp(cls, g_refusedClass) == 0) return 1;
  }
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

const wchar_t* g_failedClass = nullptr;
constexpr wchar_t kOriginalProc[] = L"ScopedCreationFailureProc";

LRESULT CALLBACK FailAfterCreate(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto original = reinterpret_cast<WNDPROC>(::GetPropW(hwnd, kOriginalProc));
  if (message == WM_NCDESTROY) ::RemovePropW(hwnd, kOriginalProc);
  const LRESULT result = ::CallWindowProcW(original, hwnd, message, wParam, lParam);
  return message == WM_CREATE ? -1 : result;
}

LRESULT CALLBACK FailCreations(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND && g_failedClass) {
    const auto hwnd = reinterpret_cast<HWND>(wParam);
    wchar_t cls[64] = {};
    ::GetClassNameW(hwnd, cls, 64);
    if (std::wcscmp(cls, g_failedClass) == 0) {
      const LONG_PTR original = ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&FailAfterCreate));
      ::SetPropW(hwnd, kOriginalProc, reinterpret_cast<HANDLE>(original));
    }
  }
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

ScopedBoxAnswer::ScopedBoxAnswer(BoxAnswer& answer) {
  g_answer = &answer;
  m_timer = ::SetTimer(nullptr, 0, 30, AnswerBox);
}

ScopedBoxAnswer::~ScopedBoxAnswer() {
  ::KillTimer(nullptr, m_timer);
  g_answer = nullptr;
}

ScopedWindowRefusal::ScopedWindowRefusal(const wchar_t* windowClass) {
  g_refusedClass = windowClass;
  m_hook = ::SetWindowsHookExW(WH_CBT, RefuseWindows, nullptr, ::GetCurrentThreadId());
}

ScopedWindowRefusal::~ScopedWindowRefusal() {
  if (m_hook) ::UnhookWindowsHookEx(m_hook);
  g_refusedClass = nullptr;
}

ScopedCreationFailure::ScopedCreationFailure(const wchar_t* windowClass) {
  g_failedClass = windowClass;
  m_hook = ::SetWindowsHookExW(WH_CBT, FailCreations, nullptr, ::GetCurrentThreadId());
}

ScopedCreationFailure::~ScopedCreationFailure() {
  if (m_hook) ::UnhookWindowsHookEx(m_hook);
  g_failedClass = nullptr;
}
