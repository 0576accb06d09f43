#include "monitor_choice.h"

namespace tessarine {
namespace {

constexpr wchar_t kMonitorPrefix[] = L"Monitor of ";

int MonitorOf(const std::vector<std::wstring>& capture_names, const std::wstring& render) {
  if (render.empty()) return -1;
  for (size_t i = 0; i < capture_names.size(); ++i) {
    if (capture_names[i] == kMonitorPrefix + render) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace

int ChooseMonitor(const std::vector<std::wstring>& capture_names, const std::wstring& default_render,
                  const std::wstring& playing_render) {
  int chosen = MonitorOf(capture_names, default_render);
  if (chosen < 0) chosen = MonitorOf(capture_names, playing_render);
  if (chosen >= 0) return chosen;
  int only = -1;
  for (size_t i = 0; i < capture_names.size(); ++i) {
    if (capture_names[i].rfind(kMonitorPrefix, 0) != 0) continue;
    if (only >= 0) return -1;
    only = static_cast<int>(i);
  }
  return only;
}

}  // namespace tessarine
