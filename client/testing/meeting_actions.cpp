#include "testing/meeting_actions.h"

#include <algorithm>
#include <cstdio>

#include "testing/client_test_support.h"

namespace meeting_test {

namespace {
HWND OwnWindow(HWND main, const wchar_t* windowClass) {
  DWORD pid = 0;
  ::GetWindowThreadProcessId(main, &pid);
  const std::vector<HWND> found = VisibleWindows(pid, windowClass);
  return found.empty() ? nullptr : found[0];
}
}  // namespace

bool MeetingActions::SendChat(HWND main, const std::wstring& text) {
  RECT rc{};
  if (m_ui.VisibleRect(main, L"main_msg_inputtip", &rc)) m_ui.Click(main, L"main_msg_inputtip");
  if (!PumpUntil([&] { return m_ui.VisibleRect(main, L"main_msg_input", &rc); }, 5000)) return false;
  m_ui.Click(main, L"main_msg_input");
  HWND edit = nullptr;
  const bool focused = PumpUntil(
      [&] {
        edit = UiDriver::FocusOf(main);
        wchar_t cls[16] = {};
        if (edit) ::GetClassNameW(edit, cls, 16);
        return _wcsicmp(cls, L"Edit") == 0;
      },
      5000);
  if (!focused) return false;
  UiDriver::Type(edit, text);
  return m_ui.Click(main, L"main_msg_send");
}

bool MeetingActions::ChooseChatTarget(HWND main, const std::wstring& target) {
  auto fail = [](const char* step) {
    std::fprintf(stderr, "choosing the chat target: %s\n", step);
    return false;
  };
  if (!m_ui.Click(main, L"main_msg_selectuser")) return fail("the user box is not visible");
  HWND drop = nullptr;
  if (!PumpUntil([&] { return (drop = OwnWindow(main, L"ComboWnd")) != nullptr; }, 5000)) {
    return fail("no drop-down list opened");
  }
  std::vector<std::wstring> items;
  if (!PumpUntil(
          [&] {
            items = m_ui.Items(drop, L"dropdown_list");
            return std::find(items.begin(), items.end(), target) != items.end();
          },
          5000)) {
    return fail("the user is not in the drop-down list");
  }
  const int row = static_cast<int>(std::find(items.begin(), items.end(), target) - items.begin());
  if (!PumpUntil([&] { return m_ui.ClickItem(drop, L"dropdown_list", row); }, 5000)) {
    return fail("the user's row is not visible");
  }
  if (!PumpUntil([&] { return m_ui.Ask(main, {L"text", L"main_msg_selectuser"}) == target; }, 5000)) {
    return fail("the box does not show the chosen user");
  }
  return true;
}

bool MeetingActions::ChooseCamera(HWND main, int index) {
  if (!m_ui.Click(main, L"btn_cam")) return false;
  HWND menu = nullptr;
  if (!PumpUntil([&] { return (menu = OwnWindow(main, L"MenuWnd")) != nullptr; }, 8000)) return false;
  const std::wstring item = L"cam_" + std::to_wstring(index);
  RECT rc{};
  if (!PumpUntil([&] { return m_ui.VisibleRect(menu, item, &rc); }, 5000)) return false;
  return m_ui.Click(menu, item);
}

}  // namespace meeting_test
