// The core environment's plug-in list and RTSP video plug-ins.
#include <cstdio>
#include <cwchar>
#include <memory>

#include "base/system/module_dir.h"
#include "base/text/code_page.h"
#include "core/devices/plugin_config.h"
#include "core/devices/rtsp_config.h"
#include "core/env/config_file.h"
#include "core/env/core_env.h"
#include "core/env/log_record.h"

namespace kiv_core {

namespace {

constexpr const char* kRtspPluginName = "RTSP Plugin";
constexpr const char* kRtspPluginType = "rtsp-ex100";
constexpr int32_t kRtspTransport = 2;

std::wstring Wide(const std::string& utf8) {
  std::unique_ptr<wchar_t[]> buffer(new wchar_t[utf8.size() + 2]());
  if (!ZORVANTE::Utf8ToUnicode(utf8.c_str(), buffer.get(), static_cast<int>(utf8.size() + 2))) return L"";
  return buffer.get();
}

std::string Utf8(const wchar_t* wide) {
  const size_t capacity = std::wcslen(wide) * 3 + 2;
  std::unique_ptr<char[]> buffer(new char[capacity]());
  if (!ZORVANTE::UnicodeToUtf8(wide, buffer.get(), static_cast<int>(capacity))) return "";
  return buffer.get();
}

template <size_t N>
void CopyField(wchar_t (&field)[N], const std::string& utf8) {
  const std::wstring wide = Wide(utf8);
  if (wide.size() + 2 <= N) wcsncpy(field, wide.c_str(), N - 1);
}

}  // namespace

void CoreEnv::LoadAvPlugins(const std::string& pluginConfigPath) {
  KIV_LOG("Start loading av plugins.\n");
  CreatePlugins(pluginConfigPath);
}

void CoreEnv::CreatePlugins(const std::string& pluginConfigPath) {
  if (!ReadPluginConfig(pluginConfigPath)) return;
  for (AVPluginInfo& plugin : m_plugins) {
    if (Utf8(plugin.pluginName) == kRtspPluginName) CreateRtspPlugin(plugin);
  }
}

bool CoreEnv::ReadPluginConfig(const std::string& pluginConfigPath) {
  std::string fileName = pluginConfigPath;
  if (fileName.empty()) {
    const wchar_t* dir = ZORVANTE::GetModuleDir(nullptr);
    fileName = Utf8(dir ? dir : L"") + "AVPlugins\\AVPluginConfig.xml";
  }
  std::string text;
  if (!ReadConfigFile(Wide(fileName), &text)) {
    KIV_LOG("Open AVPluginConfig.xml failed, path = %s!!!", fileName.c_str());
    return false;
  }
  std::vector<PluginEntry> entries;
  switch (ReadPluginList(text, &entries)) {
    case PluginConfigResult::kUnreadable:
      KIV_LOG("Open AVPluginConfig.xml failed, path = %s!!!", fileName.c_str());
      return false;
    case PluginConfigResult::kNoRoot:
      KIV_LOG("Find Root failed!!!");
      return false;
    case PluginConfigResult::kOk:
      break;
  }
  for (const PluginEntry& entry : entries) {
    AVPluginInfo plugin;
    CopyField(plugin.pluginName, entry.name);
    plugin.enableAudio = entry.enableAudio ? 1 : 0;
    CopyField(plugin.audioDevName, entry.audioDevName);
    plugin.enableVideo = entry.enableVideo ? 1 : 0;
    CopyField(plugin.videoDevName, entry.videoDevName);
    CopyField(plugin.configFile, entry.configFile);
    m_plugins.push_back(plugin);
  }
  return true;
}

void CoreEnv::CreateRtspPlugin(AVPluginInfo& plugin) {
  KIV_LOG("Try to create rtsp plugin.\n");
  CConfig config;
  (void)config.Load(plugin.configFile);  // a file that does not load leaves the url empty
  const std::string url = config.GetUrl();
  if (!plugin.enableVideo || !m_devmanager) return;
  const int32_t id = m_devmanager->AddVideoPlugin(kRtspPluginType, url.c_str(), kRtspTransport);
  if (id == -1) {
    KIV_LOG("Add rtsp video plugin failed!!!\n");
    return;
  }
  plugin.videoPluginId = id;
  plugin.videoPluginAdded = true;
  plugin.streamUrl = url;
}

}  // namespace kiv_core
