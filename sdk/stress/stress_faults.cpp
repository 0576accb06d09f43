#include "stress/stress_faults.h"

#include <cstdlib>

#include "base/system/w_lock.h"
#include "stress/stress_activity.h"
#include "stress/stress_stacks.h"

namespace kiv_stress {

Faults& Faults::Instance() {
  static Faults faults;
  return faults;
}

void Faults::Add(const std::string& what) {
  const std::string where = Activity::Instance().Current();
  // The capture is for diagnosis only (KIV_STRESS_STACKS=1): the system's walk does not
  // survive every frame it meets.
  static const bool capture = [] {
    const char* text = getenv("KIV_STRESS_STACKS");
    return text && *text == '1';
  }();
  const RawStack stack = capture ? CaptureThisThread() : RawStack();
  std::lock_guard<std::mutex> guard(m_mutex);
  ++m_count;
  for (Kind& kind : m_kinds) {
    if (kind.what == what) {
      ++kind.count;
      return;
    }
  }
  if (m_kinds.size() < kKept) m_kinds.push_back(Kind{what, where.empty() ? "unnamed thread" : where, stack, 1});
}

void Faults::CheckNoLockHeld(const char* where) {
  const int held = ZORVANTE::HeldLockCount();
  if (held != 0) Add(std::string(where) + ": called with " + std::to_string(held) + " SDK lock(s) held");
}

size_t Faults::Count() {
  std::lock_guard<std::mutex> guard(m_mutex);
  return m_count;
}

std::vector<std::string> Faults::Kept(bool stacks) {
  std::vector<Kind> kinds;
  {
    std::lock_guard<std::mutex> guard(m_mutex);
    kinds = m_kinds;
  }
  std::vector<std::string> kept;
  for (const Kind& kind : kinds)
    kept.push_back(kind.what + " (" + std::to_string(kind.count) + "x, first: " + kind.firstSeen + ")" +
                   (stacks ? "\n    stack: " + Describe(kind.stack) : std::string()));
  return kept;
}

void Faults::Clear() {
  std::lock_guard<std::mutex> guard(m_mutex);
  m_kinds.clear();
  m_count = 0;
}

}  // namespace kiv_stress
