#include "windows/testing/manual_timer_clock.h"

ManualTimerClock::ManualTimerClock() { DuiLib::SetTimerClock(this); }

ManualTimerClock::~ManualTimerClock() { DuiLib::SetTimerClock(nullptr); }

bool ManualTimerClock::SetTimer(HWND window, UINT_PTR id, UINT elapse) {
  if (!window || !::IsWindow(window)) return false;
  const uint64_t period = elapse > 0 ? elapse : 1;
  for (Timer& t : m_timers) {
    if (t.window == window && t.id == id) {
      t.period = period;
      t.due = m_now + period;
      return true;
    }
  }
  m_timers.push_back(Timer{window, id, period, m_now + period});
  return true;
}

void ManualTimerClock::KillTimer(HWND window, UINT_PTR id) {
  for (auto it = m_timers.begin(); it != m_timers.end(); ++it) {
    if (it->window == window && it->id == id) {
      m_timers.erase(it);
      return;
    }
  }
}

void ManualTimerClock::Advance(uint64_t ms) {
  const uint64_t end = m_now + ms;
  for (;;) {
    Timer* next = nullptr;
    for (Timer& t : m_timers) {
      if (t.due <= end && (!next || t.due < next->due)) next = &t;
    }
    if (!next) break;
    m_now = next->due;
    next->due += next->period;
    const HWND window = next->window;
    const UINT_PTR id = next->id;
    if (!::IsWindow(window)) {
      KillTimer(window, id);
      continue;
    }
    ++m_fired;
    ::SendMessageW(window, WM_TIMER, id, 0);  // may set or kill timers
  }
  m_now = end;
}
