#include "wb/model/edit_settings.h"

#include <chrono>

namespace kiv_wb {

EditSettings::EditSettings(uint32_t graphIdPrefix, IUpdateCommandObserver* observer)
    : m_graphIdPrefix(graphIdPrefix), m_observer(observer) {}

uint32_t EditSettings::NextGraphId() {
  const uint32_t id = (m_graphIdPrefix << 16) | m_graphCounter;
  ++m_graphCounter;
  return id;
}

uint64_t EditSettings::SteadyMicroseconds() {
  return static_cast<uint64_t>(
      std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
          .count());
}

std::string EditSettings::GetFontName() { return "\xE6\x96\xB0\xE5\xAE\x8B\xE4\xBD\x93"; }

const int* EditSettings::GetSelectionDash(int* count) {
  static const int kDash[2] = {2, 1};
  *count = 2;
  return kDash;
}

}  // namespace kiv_wb
