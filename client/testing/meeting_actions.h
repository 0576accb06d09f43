// What a person does in a meeting window, done through the UI probe: write a chat line,
// pick its addressee, read the chat and the user list.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "testing/ui_driver.h"

namespace meeting_test {

class MeetingActions {
 public:
  explicit MeetingActions(UiDriver& ui) : m_ui(ui) {}

  std::wstring Chat(HWND main) { return m_ui.Ask(main, {L"text", L"main_re_msgs"}); }
  std::vector<std::wstring> Users(HWND main) { return m_ui.Items(main, L"list_users", L"label_userid"); }
  std::wstring Icon(HWND main, const std::wstring& user, const wchar_t* icon) {
    return m_ui.Ask(main, {L"subimage", L"list_users", L"label_userid", user, icon});
  }
  // Focuses the chat input, types `text` and presses the send button.
  bool SendChat(HWND main, const std::wstring& text);
  // Picks `target` in the chat target combo of `main` through its drop-down list.
  bool ChooseChatTarget(HWND main, const std::wstring& target);
  // Opens the camera menu of `main` and chooses the camera at `index`.
  bool ChooseCamera(HWND main, int index);

 private:
  UiDriver& m_ui;
};

}  // namespace meeting_test
