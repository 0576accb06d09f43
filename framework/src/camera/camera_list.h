// The cameras of the stand-in: a configured number of synthetic cameras, then one per
// RTSP plug-in. A camera's index in this list is its id everywhere. Pure logic (no Win32).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "plugin_registry.h"

namespace tessarine {

// Environment variable with the number of synthetic cameras, 0-16.
inline constexpr char kCameraCountVariable[] = "TESSARINE_CAMERAS";
inline constexpr int32_t kDefaultCameraCount = 2;
inline constexpr int32_t kMaxCameraCount = 16;

// The count a value of TESSARINE_CAMERAS gives: a decimal 0-16 (surrounding blanks
// allowed); nullopt for any other text. Unset (null) gives the default.
std::optional<int32_t> ParseCameraCount(const char* value);

struct CameraInfo {
  int32_t plugin_id = 0;  // 0 for a synthetic camera
  int32_t number = 0;     // synthetic: 1, 2, ...; RTSP: the plug-in id
  std::string name;       // friendly name, ASCII
  std::string path;       // device path, ASCII
  std::string source;     // drawn under the name: "synthetic" or the plug-in's url
};

std::vector<CameraInfo> BuildCameraList(int32_t synthetic_count, const std::vector<VideoPluginEntry>& plugins);

}  // namespace tessarine
