// Turns a burst of device changes into one report: a change is reported once no further
// change has been seen for the quiet period. Pure logic; times are milliseconds of any
// monotonic clock (wrap-around safe). Not thread-safe: the owner serialises the calls.
#pragma once

#include <cstdint>

namespace kiv {

class DeviceChangeSettler {
 public:
  static constexpr uint32_t kQuietMs = 1200;

  void NoteChange(uint32_t now);
  // A pending change waits a whole quiet period from now; without one nothing happens.
  void RestartQuiet(uint32_t now);
  // How long the watcher may sleep before the next report can be due.
  uint32_t WaitMs(uint32_t now) const;
  // True once when a change is pending and quiet for the quiet period; clears it.
  bool TakeSettled(uint32_t now);
  bool Pending() const { return m_pending; }

 private:
  bool m_pending = false;
  uint32_t m_lastChange = 0;
};

}  // namespace kiv
