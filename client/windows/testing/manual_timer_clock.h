// A timer clock that stands still until the test moves it on: while it lives, the
// window timers of the client and its window library are set on it, and Advance fires
// each timer as often as its period fits, in time order, by sending WM_TIMER.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "winlib/timer_clock.h"

class ManualTimerClock final : public DuiLib::ITimerClock {
 public:
  ManualTimerClock();
  ~ManualTimerClock() override;
  ManualTimerClock(const ManualTimerClock&) = delete;
  ManualTimerClock& operator=(const ManualTimerClock&) = delete;

  bool SetTimer(HWND window, UINT_PTR id, UINT elapse) override;
  void KillTimer(HWND window, UINT_PTR id) override;
  // Moves the clock on by `ms`; timers set or killed by the handlers count at once.
  void Advance(uint64_t ms);
  // WM_TIMER messages sent so far.
  int Fired() const { return m_fired; }

 private:
  struct Timer {
    HWND window;
    UINT_PTR id;
    uint64_t period;
    uint64_t due;
  };
  std::vector<Timer> m_timers;
  uint64_t m_now = 0;
  int m_fired = 0;
};
