// Feeds arbitrary text to the plug-in list and RTSP plug-in file readers.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/devices/plugin_config.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<kiv_core::PluginEntry> entries;
  (void)kiv_core::ReadPluginList(text, &entries);
  kiv_core::RtspPluginSettings settings;
  (void)kiv_core::ReadRtspPluginSettings(text, &settings);
  return 0;
}
