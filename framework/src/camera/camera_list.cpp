#include "camera_list.h"

#include <cctype>
#include <string_view>

namespace tessarine {

std::optional<int32_t> ParseCameraCount(const char* value) {
  if (value == nullptr) return kDefaultCameraCount;
  std::string_view text(value);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
  if (text.empty() || text.size() > 2) return std::nullopt;
  int32_t count = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    count = count * 10 + (c - '0');
  }
  if (count > kMaxCameraCount) return std::nullopt;
  return count;
}

std::vector<CameraInfo> BuildCameraList(int32_t synthetic_count, const std::vector<VideoPluginEntry>& plugins) {
  std::vector<CameraInfo> cameras;
  for (int32_t i = 1; i <= synthetic_count; ++i) {
    CameraInfo c;
    c.number = i;
    c.name = "Tessarine Camera " + std::to_string(i);
    c.path = "tessarine:camera:" + std::to_string(i);
    c.source = "synthetic";
    cameras.push_back(std::move(c));
  }
  for (const VideoPluginEntry& p : plugins) {
    CameraInfo c;
    c.plugin_id = p.id;
    c.number = p.id;
    c.name = "RTSP Camera " + std::to_string(p.id);
    c.path = std::string(kRtspPluginType) + ":" + std::to_string(p.id);
    c.source = p.url;
    cameras.push_back(std::move(c));
  }
  return cameras;
}

}  // namespace tessarine
