// The timers controls set on their window: each (control, id) pair gets a window timer
// of its own, so a WM_TIMER finds the control and the id the control chose.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

namespace DuiLib {

class CControlUI;

class ControlTimers {
 public:
  struct Timer {
    CControlUI* sender;
    UINT localId;
    UINT_PTR windowId;
  };

  bool Set(HWND window, CControlUI* control, UINT id, UINT elapse);
  bool Kill(HWND window, CControlUI* control, UINT id);
  // Every timer of the controls for which `match` holds.
  void KillWhere(HWND window, const std::function<bool(CControlUI*)>& match);
  void KillAll(HWND window);
  // The timer of a WM_TIMER's id, or null.
  const Timer* Find(UINT_PTR windowId) const;

 private:
  std::vector<Timer> m_timers;
  UINT_PTR m_nextId = 0x1000;
};

}  // namespace DuiLib
