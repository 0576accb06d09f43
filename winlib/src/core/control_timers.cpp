#include "winlib/control_timers.h"

#include "winlib/timer_clock.h"

namespace DuiLib {

bool ControlTimers::Set(HWND window, CControlUI* control, UINT id, UINT elapse) {
  if (!control || !window) return false;
  for (const Timer& t : m_timers) {
    if (t.sender == control && t.localId == id) return TimerClock().SetTimer(window, t.windowId, elapse);
  }
  const UINT_PTR windowId = m_nextId++;
  if (!TimerClock().SetTimer(window, windowId, elapse)) return false;
  m_timers.push_back(Timer{control, id, windowId});
  return true;
}

bool ControlTimers::Kill(HWND window, CControlUI* control, UINT id) {
  for (auto it = m_timers.begin(); it != m_timers.end(); ++it) {
    if (it->sender == control && it->localId == id) {
      if (window) TimerClock().KillTimer(window, it->windowId);
      m_timers.erase(it);
      return true;
    }
  }
  return false;
}

void ControlTimers::KillWhere(HWND window, const std::function<bool(CControlUI*)>& match) {
  for (auto it = m_timers.begin(); it != m_timers.end();) {
    if (match(it->sender)) {
      if (window) TimerClock().KillTimer(window, it->windowId);
      it = m_timers.erase(it);
    } else {
      ++it;
    }
  }
}

void ControlTimers::KillAll(HWND window) {
  for (const Timer& t : m_timers) {
    if (window && ::IsWindow(window)) TimerClock().KillTimer(window, t.windowId);
  }
  m_timers.clear();
}

const ControlTimers::Timer* ControlTimers::Find(UINT_PTR windowId) const {
  for (const Timer& t : m_timers) {
    if (t.windowId == windowId) return &t;
  }
  return nullptr;
}

}  // namespace DuiLib
