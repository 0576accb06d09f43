#include "winlib/timer_clock.h"

namespace DuiLib {
namespace {

class SystemTimerClock final : public ITimerClock {
 public:
  bool SetTimer(HWND window, UINT_PTR id, UINT elapse) override { return ::SetTimer(window, id, elapse, nullptr) != 0; }
  void KillTimer(HWND window, UINT_PTR id) override { ::KillTimer(window, id); }
};

SystemTimerClock g_system;
ITimerClock* g_clock = &g_system;

}  // namespace

ITimerClock& TimerClock() { return *g_clock; }

void SetTimerClock(ITimerClock* clock) { g_clock = clock ? clock : &g_system; }

}  // namespace DuiLib
