// A Win32 window owned by a C++ object: class registration, creation, subclassing,
// showing, modal runs and closing. Messages reach HandleMessage; OnFinalMessage runs
// after the window is gone (objects that own themselves delete themselves there), and
// also when Create fails: after a failed Create the object may be gone, so its caller
// does not touch it again.
#pragma once

#include <windows.h>

namespace DuiLib {

class CWindowWnd {
 public:
  CWindowWnd() = default;
  CWindowWnd(const CWindowWnd&) = delete;
  CWindowWnd& operator=(const CWindowWnd&) = delete;
  virtual ~CWindowWnd();

  HWND GetHWND() const { return m_hWnd; }
  operator HWND() const { return m_hWnd; }

  bool RegisterWindowClass();
  // Null when the object has a window already, or on failure: then OnFinalMessage (with
  // null when the window never reached this object) has run.
  HWND Create(HWND hwndParent, LPCTSTR pstrName, DWORD dwStyle, DWORD dwExStyle, const RECT& rc, HMENU hMenu = nullptr);
  HWND Create(HWND hwndParent, LPCTSTR pstrName, DWORD dwStyle, DWORD dwExStyle, int x = CW_USEDEFAULT,
              int y = CW_USEDEFAULT, int cx = CW_USEDEFAULT, int cy = CW_USEDEFAULT, HMENU hMenu = nullptr);
  // Routes the messages of an existing window through this object until it is destroyed.
  HWND Subclass(HWND hWnd);
  void Unsubclass();

  void ShowWindow(bool bShow = true, bool bTakeFocus = true);
  // Shows the window, disables its owner and runs a message loop until the window is
  // gone. Returns the result given to Close, or 0 when the window was closed otherwise.
  UINT ShowModal();
  // Asks the window to close; a modal run returns nRet.
  void Close(UINT nRet = IDOK);
  // Centres over the owner when it is visible, else on the work area of its monitor.
  void CenterWindow();
  void SetIcon(UINT nRes);
  bool IsModal() const { return m_pModalResult != nullptr; }

  LRESULT SendMessage(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0);
  LRESULT PostMessage(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0);
  void ResizeClient(int cx = -1, int cy = -1);

  virtual LPCTSTR GetWindowClassName() const = 0;
  virtual UINT GetClassStyle() const { return 0; }

 protected:
  virtual LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam);
  virtual void OnFinalMessage(HWND hWnd);

  static LRESULT CALLBACK StaticWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK StaticControlProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

  // True from a successful Create until the window is gone: false while a failing
  // creation destroys the window.
  bool WasCreated() const { return m_bCreated; }

  HWND m_hWnd = nullptr;
  WNDPROC m_OldWndProc = ::DefWindowProcW;
  bool m_bSubclassed = false;

 private:
  void NoteClose(WPARAM result);

  UINT* m_pModalResult = nullptr;
  HWND m_hModalOwner = nullptr;
  bool* m_pFinalRan = nullptr;  // set while Create runs: tells it the final message came
  bool m_bCreated = false;
};

}  // namespace DuiLib
