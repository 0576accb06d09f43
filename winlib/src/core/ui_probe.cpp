#include "winlib/ui_probe.h"

#include <string>
#include <vector>

#include "winlib/ui_lib.h"

namespace DuiLib {

namespace {

std::vector<std::wstring> SplitTabs(const std::wstring& text) {
  std::vector<std::wstring> parts;
  size_t start = 0;
  while (true) {
    const size_t tab = text.find(L'\t', start);
    parts.push_back(text.substr(start, tab == std::wstring::npos ? std::wstring::npos : tab - start));
    if (tab == std::wstring::npos) break;
    start = tab + 1;
  }
  return parts;
}

std::wstring RectText(CControlUI* c) {
  const RECT& rc = c->GetPos();
  return std::to_wstring(rc.left) + L" " + std::to_wstring(rc.top) + L" " + std::to_wstring(rc.right) + L" " +
         std::to_wstring(rc.bottom) + L" " + (c->IsVisible() ? L"1" : L"0") + L" " + (c->IsEnabled() ? L"1" : L"0");
}

CContainerUI* Container(CPaintManagerUI& pm, const std::wstring& name) {
  CControlUI* c = pm.FindControl(name.c_str());
  return c ? static_cast<CContainerUI*>(c->GetInterface(L"Container")) : nullptr;
}

std::wstring Answer(CPaintManagerUI& pm, const std::vector<std::wstring>& q) {
  const std::wstring& cmd = q[0];
  auto arg = [&q](size_t i) { return i < q.size() ? q[i] : std::wstring(); };
  if (cmd == L"rect" || cmd == L"text" || cmd == L"bkimage" || cmd == L"normalimage") {
    CControlUI* c = pm.FindControl(arg(1).c_str());
    if (!c) return L"?";
    if (cmd == L"rect") return RectText(c);
    if (cmd == L"text") return c->GetText().GetData();
    if (cmd == L"bkimage") return c->GetBkImage();
    auto* button = static_cast<CButtonUI*>(c->GetInterface(L"Button"));
    return button ? button->GetNormalImage() : L"?";
  }
  CContainerUI* list = Container(pm, arg(1));
  if (!list) return L"?";
  std::wstring out;
  if (cmd == L"itemrect") {
    CControlUI* item = list->GetItemAt(_wtoi(arg(2).c_str()));
    return item ? RectText(item) : L"?";
  }
  for (int i = 0; i < list->GetCount(); ++i) {
    CControlUI* item = list->GetItemAt(i);
    CControlUI* label = arg(2).empty() ? item : pm.FindSubControlByName(item, arg(2).c_str());
    if (!label) continue;
    if (cmd == L"items") {
      out += std::wstring(label->GetText().GetData()) + L"\n";
    } else if (cmd == L"checked") {
      CControlUI* check = pm.FindSubControlByName(item, arg(3).c_str());
      auto* option = check ? static_cast<COptionUI*>(check->GetInterface(L"Option")) : nullptr;
      out += std::wstring(label->GetText().GetData()) + (option && option->IsSelected() ? L" 1\n" : L" 0\n");
    } else if (cmd == L"subimage" && label->GetUserData() == arg(3).c_str()) {
      CControlUI* sub = pm.FindSubControlByName(item, arg(4).c_str());
      return sub ? sub->GetBkImage() : L"?";
    }
  }
  return cmd == L"subimage" ? L"?" : out;
}

}  // namespace

bool IsUiProbeEnabled() {
  wchar_t value[8] = {};
  return ::GetEnvironmentVariableW(L"WINLIB_UI_PROBE", value, 8) > 0 && wcscmp(value, L"1") == 0;
}

bool AnswerUiProbe(CPaintManagerUI& pm, HWND self, WPARAM wParam, LPARAM lParam) {
  const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
  if (!data || data->dwData != kUiProbeQuery || !IsUiProbeEnabled()) return false;
  const std::wstring question(static_cast<const wchar_t*>(data->lpData), data->cbData / sizeof(wchar_t));
  const std::wstring answer = Answer(pm, SplitTabs(question));
  COPYDATASTRUCT reply = {};
  reply.dwData = kUiProbeAnswer;
  reply.cbData = static_cast<DWORD>(answer.size() * sizeof(wchar_t));
  reply.lpData = const_cast<wchar_t*>(answer.data());
  ::SendMessageW(reinterpret_cast<HWND>(wParam), WM_COPYDATA, reinterpret_cast<WPARAM>(self),
                 reinterpret_cast<LPARAM>(&reply));
  return true;
}

}  // namespace DuiLib
