// Helpers for tests that run real windows: a skinned test window that records what it
// receives, message pumping with a deadline and synthetic mouse clicks.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "winlib/ui_lib.h"

namespace winlib_test {

// Runs the message loop of this thread until `done` holds or `timeout_ms` passes.
bool PumpUntil(const std::function<bool()>& done, DWORD timeout_ms = 3000);
// Runs the message loop for `ms` milliseconds.
void PumpFor(DWORD ms);
// Presses and releases the left button over the centre of a control of `window`.
void ClickControl(HWND window, DuiLib::CControlUI* control);

struct Received {
  std::wstring type;
  std::wstring sender;
};

class TestWindow : public DuiLib::WindowImplBase {
 public:
  explicit TestWindow(std::wstring skin) : m_skin(std::move(skin)) {}

  LPCTSTR GetWindowClassName() const override { return L"WinlibTestWindow"; }
  DuiLib::CDuiString GetSkinFolder() override { return L"winlib_test_skin"; }
  DuiLib::CDuiString GetSkinFile() override { return m_skin.c_str(); }
  void Notify(DuiLib::TNotifyUI& msg) override;
  LRESULT HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
  DuiLib::CControlUI* CreateControl(LPCTSTR pstrClass) override;
  void OnFinalMessage(HWND hWnd) override;

  HWND CreateShown(HWND owner = nullptr);
  DuiLib::CControlUI* Find(const wchar_t* name) { return m_pm.FindControl(name); }
  bool Saw(const std::wstring& type, const std::wstring& sender) const;

  std::vector<Received> received;
  std::vector<UINT_PTR> timers;
  bool final_message = false;
  std::function<void(DuiLib::TNotifyUI&)> on_notify;

 private:
  std::wstring m_skin;
};

}  // namespace winlib_test
