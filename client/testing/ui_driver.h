// Drives the client's windows in another process as a person would: asks a window's UI
// probe where its controls are (WINLIB_UI_PROBE=1 in the client's environment), then
// posts mouse clicks there and types into the focused native edit.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class UiDriver {
 public:
  UiDriver();
  ~UiDriver();
  UiDriver(const UiDriver&) = delete;
  UiDriver& operator=(const UiDriver&) = delete;

  // The probe's answer; "?" when the control is unknown, "" when the window did not answer.
  std::wstring Ask(HWND window, const std::vector<std::wstring>& question);
  // The control's rectangle in client pixels; false when unknown or hidden.
  bool VisibleRect(HWND window, const std::wstring& control, RECT* rc);
  // Clicks the middle of a visible control (mouse move, button down, button up).
  bool Click(HWND window, const std::wstring& control);
  bool ClickItem(HWND window, const std::wstring& list, int index);
  void ClickAt(HWND window, POINT pt);
  // The item texts of a list, combo or menu (one per line); `label` names the control in
  // each item that holds the text (empty: the item itself).
  std::vector<std::wstring> Items(HWND window, const std::wstring& list, const std::wstring& label = L"");
  // The window that has the keyboard focus in the thread of `window`.
  static HWND FocusOf(HWND window);
  // Types `text` into `edit` character by character (a long text is pasted).
  static void Type(HWND edit, const std::wstring& text);

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

  HWND m_window = nullptr;
  std::wstring m_answer;
  bool m_answered = false;
};

// Top-level visible windows of a process with the given class (all processes when pid 0).
std::vector<HWND> VisibleWindows(DWORD pid, const wchar_t* windowClass);
