#include "engine/devices/device_change_settler.h"

namespace kiv {

void DeviceChangeSettler::NoteChange(uint32_t now) {
  m_pending = true;
  m_lastChange = now;
}

void DeviceChangeSettler::RestartQuiet(uint32_t now) {
  if (m_pending) m_lastChange = now;
}

uint32_t DeviceChangeSettler::WaitMs(uint32_t now) const {
  if (!m_pending) return kQuietMs;
  const uint32_t quiet = now - m_lastChange;
  return quiet >= kQuietMs ? 0 : kQuietMs - quiet;
}

bool DeviceChangeSettler::TakeSettled(uint32_t now) {
  if (!m_pending || now - m_lastChange < kQuietMs) return false;
  m_pending = false;
  return true;
}

}  // namespace kiv
