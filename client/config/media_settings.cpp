#include "config/media_settings.h"

#include <climits>
#include <cstdio>

namespace media_settings {

namespace {
constexpr Resolution kResolutions[kResolutionCount] = {{320, 240}, {480, 360}, {640, 480}, {1280, 720}, {1920, 1080}};
constexpr size_t kRecordPathBuffer = 512;
}  // namespace

Resolution ResolutionAt(int index) {
  if (index < 0 || index >= kResolutionCount) index = 0;
  return kResolutions[index];
}

int Clamp(int value, int low, int high) {
  if (value < low) return low;
  if (value > high) return high;
  return value;
}

std::string VideoStatsLine(int bitrate, int frameRate, int width, int height) {
  char line[32] = {};
  std::snprintf(line, sizeof(line), "%dK %dF %d*%d", bitrate / 1024, frameRate, width, height);
  return line;
}

std::optional<std::string> RecordFilePath(const std::string& desktopUtf8, const std::tm& localTime) {
  char stamp[32] = {};
  if (std::strftime(stamp, sizeof(stamp), "%Y%m%d%H%M%S", &localTime) == 0) return std::nullopt;
  std::string path = desktopUtf8 + "\\Record" + stamp + ".mp4";
  if (path.size() + 1 > kRecordPathBuffer) return std::nullopt;
  return path;
}

std::optional<int> IndexAfterPrefix(const std::wstring& name, const std::wstring& prefix) {
  if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) return std::nullopt;
  long long value = 0;
  for (size_t i = prefix.size(); i < name.size(); ++i) {
    const wchar_t c = name[i];
    if (c < L'0' || c > L'9') return std::nullopt;
    value = value * 10 + (c - L'0');
    if (value > INT_MAX) return std::nullopt;
  }
  return static_cast<int>(value);
}

int ReadInt(const std::wstring& text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == L' ' || text[i] == L'\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'-' || text[i] == L'+')) negative = text[i++] == L'-';
  long long value = 0;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    value = value * 10 + (text[i] - L'0');
    if (value > static_cast<long long>(INT_MAX) + 1) break;
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

}  // namespace media_settings
