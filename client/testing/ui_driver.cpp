#include "testing/ui_driver.h"

#include "winlib/ui_probe.h"

namespace {
constexpr wchar_t kClass[] = L"ClientTestUiDriver";
constexpr size_t kLongestTyped = 200;
}  // namespace

UiDriver::UiDriver() {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &UiDriver::Proc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = kClass;
  ::RegisterClassExW(&wc);
  m_window = ::CreateWindowExW(0, kClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  ::SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

UiDriver::~UiDriver() {
  if (m_window) ::DestroyWindow(m_window);
}

LRESULT CALLBACK UiDriver::Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<UiDriver*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (msg == WM_COPYDATA && self) {
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    if (data->dwData == DuiLib::kUiProbeAnswer) {
      self->m_answer.assign(static_cast<const wchar_t*>(data->lpData), data->cbData / sizeof(wchar_t));
      self->m_answered = true;
      return TRUE;
    }
  }
  return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

std::wstring UiDriver::Ask(HWND window, const std::vector<std::wstring>& question) {
  std::wstring text;
  for (size_t i = 0; i < question.size(); ++i) text += (i ? L"\t" : L"") + question[i];
  COPYDATASTRUCT data = {};
  data.dwData = DuiLib::kUiProbeQuery;
  data.cbData = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  data.lpData = &text[0];
  m_answer.clear();
  m_answered = false;
  DWORD_PTR result = 0;
  ::SendMessageTimeoutW(window, WM_COPYDATA, reinterpret_cast<WPARAM>(m_window), reinterpret_cast<LPARAM>(&data),
                        SMTO_NORMAL, 5000, &result);
  return m_answered ? m_answer : std::wstring();
}

bool UiDriver::VisibleRect(HWND window, const std::wstring& control, RECT* rc) {
  const std::wstring a = Ask(window, {L"rect", control});
  int visible = 0;
  int enabled = 0;
  if (swscanf(a.c_str(), L"%ld %ld %ld %ld %d %d", &rc->left, &rc->top, &rc->right, &rc->bottom, &visible, &enabled) !=
      6) {
    return false;
  }
  return visible != 0 && rc->right > rc->left && rc->bottom > rc->top;
}

void UiDriver::ClickAt(HWND window, POINT pt) {
  const LPARAM at = MAKELPARAM(pt.x, pt.y);
  ::PostMessageW(window, WM_MOUSEMOVE, 0, at);
  ::PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
  ::PostMessageW(window, WM_LBUTTONUP, 0, at);
}

bool UiDriver::Click(HWND window, const std::wstring& control) {
  RECT rc{};
  if (!VisibleRect(window, control, &rc)) return false;
  ClickAt(window, POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2});
  return true;
}

bool UiDriver::ClickItem(HWND window, const std::wstring& list, int index) {
  const std::wstring a = Ask(window, {L"itemrect", list, std::to_wstring(index)});
  RECT rc{};
  int visible = 0;
  int enabled = 0;
  if (swscanf(a.c_str(), L"%ld %ld %ld %ld %d %d", &rc.left, &rc.top, &rc.right, &rc.bottom, &visible, &enabled) != 6 ||
      !visible || rc.right <= rc.left || rc.bottom <= rc.top) {
    return false;
  }
  ClickAt(window, POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2});
  return true;
}

std::vector<std::wstring> UiDriver::Items(HWND window, const std::wstring& list, const std::wstring& label) {
  std::vector<std::wstring> items;
  const std::wstring a = Ask(window, {L"items", list, label});
  if (a == L"?") return items;
  size_t start = 0;
  while (start < a.size()) {
    size_t end = a.find(L'\n', start);
    if (end == std::wstring::npos) end = a.size();
    items.push_back(a.substr(start, end - start));
    start = end + 1;
  }
  return items;
}

HWND UiDriver::FocusOf(HWND window) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof(info);
  if (!::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

void UiDriver::Type(HWND edit, const std::wstring& text) {
  if (text.size() > kLongestTyped) {
    // A long text is pasted, as a person would: one replacement of the selection.
    ::SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
    return;
  }
  for (wchar_t c : text) ::SendMessageW(edit, WM_CHAR, c, 1);
}

namespace {
struct WindowSearch {
  DWORD pid;
  const wchar_t* cls;
  std::vector<HWND> found;
};
BOOL CALLBACK MatchWindow(HWND hwnd, LPARAM lp) {
  auto* s = reinterpret_cast<WindowSearch*>(lp);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(hwnd, &pid);
  wchar_t cls[64] = {};
  ::GetClassNameW(hwnd, cls, 64);
  if ((s->pid == 0 || pid == s->pid) && wcscmp(cls, s->cls) == 0 && ::IsWindowVisible(hwnd)) s->found.push_back(hwnd);
  return TRUE;
}
}  // namespace

std::vector<HWND> VisibleWindows(DWORD pid, const wchar_t* windowClass) {
  WindowSearch search{pid, windowClass, {}};
  ::EnumWindows(&MatchWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}
