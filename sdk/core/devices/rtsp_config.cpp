#include "core/devices/rtsp_config.h"

#include <cstring>
#include <memory>

#include "base/text/code_page.h"
#include "core/devices/plugin_config.h"
#include "core/env/config_file.h"

namespace kiv_core {

namespace {
constexpr int kPathUtf8Bytes = 1024;
}  // namespace

CConfig::CConfig() : m_filePath{}, m_timeout(kRtspDefaultTimeout), m_brand{"Brimtal"} {}

CConfig::~CConfig() = default;

int CConfig::Load(const wchar_t* path) {
  if (!path) return 0;
  std::unique_ptr<char[]> utf8(new char[kPathUtf8Bytes]());
  std::memset(m_filePath, 0, sizeof(m_filePath));
  if (ZORVANTE::UnicodeToUtf8(path, utf8.get(), kPathUtf8Bytes) && std::strlen(utf8.get()) < sizeof(m_filePath))
    std::memcpy(m_filePath, utf8.get(), std::strlen(utf8.get()));
  std::string text;
  RtspPluginSettings settings;
  if (!ReadConfigFile(path, &text) || !ReadRtspPluginSettings(text, &settings)) return 0;
  m_url = settings.url;
  m_timeout = settings.timeout;
  return 1;
}

}  // namespace kiv_core
