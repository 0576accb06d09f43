// Device and plug-in manager component. RTSP video plug-ins and audio plug-ins go into
// the process's plug-in registry, where the video devices list the former as cameras and
// the audio devices the latter as capture devices; a manager's plug-ins go with it.
#include <cstring>
#include <memory>
#include <string>

#include "audio_capture_list.h"
#include "avcore/ids.h"
#include "com_object.h"
#include "components.h"
#include "framework_log.h"
#include "plugin_registry.h"
#include "quietwell_engine.h"
#include "text_convert.h"

namespace tessarine {
namespace {

const char* RefusalText(PluginRegistry::VideoRefusal refusal) {
  switch (refusal) {
    case PluginRegistry::VideoRefusal::kType:
      return "unknown plug-in type";
    case PluginRegistry::VideoRefusal::kUrl:
      return "url empty or too long";
    case PluginRegistry::VideoRefusal::kNoSlot:
      return "no free RTSP slot";
    default:
      return "";
  }
}

class AVDevManager final : public ComObject<avcore::IAVDevManager> {
 public:
  AVDevManager() : ComObject(avcore::IID_IAVDevManager), engine_(QuietwellEngine::Acquire()) {}
  ~AVDevManager() override { GlobalPluginRegistry().RemoveOwner(this); }

  HRESULT AVCORE_CALL SetupRtspVideoPlugins(int32_t count) override {
    if (count < 0) return E_INVALIDARG;
    GlobalPluginRegistry().SetVideoSlots(count);
    return S_OK;
  }

  int32_t AVCORE_CALL AddVideoPlugin(const char* type, const char* url, int32_t transport) override {
    if (type == nullptr || url == nullptr) return -1;
    // Bounded reads: a text without a terminator in reach is refused as too long.
    const std::string type_text(type, strnlen(type, 64));
    const std::string url_text(url, strnlen(url, kMaxRtspUrlBytes));
    std::wstring wide_url;
    if (!Utf8ToWide(url_text, &wide_url)) {
      FW_LOG("video plug-in refused: url is not UTF-8");
      return -1;
    }
    PluginRegistry::VideoRefusal refusal;
    const int32_t id = GlobalPluginRegistry().AddVideo(this, type_text, url_text, transport, &refusal);
    if (id < 0) {
      FW_LOG("video plug-in \"%s\" refused: %s", type_text.c_str(), RefusalText(refusal));
      return -1;
    }
    FW_LOG("video plug-in %d added: %s %s transport %d", id, type_text.c_str(), url_text.c_str(), transport);
    return id;
  }

  HRESULT AVCORE_CALL RemoveVideoPlugin(int32_t pluginId) override {
    return GlobalPluginRegistry().RemoveVideo(pluginId) ? S_OK : E_INVALIDARG;
  }

  HRESULT AVCORE_CALL AddAudioPlugin(avcore::IAVPlugin* plugin, const wchar_t* name) override {
    if (plugin == nullptr || name == nullptr) return E_POINTER;
    const std::wstring text(name, wcsnlen(name, kAudioPluginNameUnits));
    if (text.empty() || text.size() >= kAudioPluginNameUnits) return E_INVALIDARG;
    PluginRegistry& registry = GlobalPluginRegistry();
    if (registry.IsAudioListed(plugin)) return S_FALSE;
    // The plug-in is called only here, while its owner holds it for certain; its output
    // reaches the capturing devices through the token.
    const uintptr_t token = registry.NewToken();
    HRESULT hr = plugin->SetOutputCallback(avcore::kPluginAudio, &PluginOutputCallback, reinterpret_cast<void*>(token));
    if (SUCCEEDED(hr)) hr = plugin->EnableOutput(avcore::kPluginAudio, 1);
    if (FAILED(hr)) {
      FW_LOG("audio plug-in \"%s\" refused its output callback: 0x%08lx", WideToUtf8(text).c_str(),
             static_cast<unsigned long>(hr));
      return hr;
    }
    registry.AddAudio(this, plugin, text, token);
    FW_LOG("audio plug-in \"%s\" added", WideToUtf8(text).c_str());
    return S_OK;
  }

  HRESULT AVCORE_CALL RemoveAudioPlugin(avcore::IAVPlugin* plugin) override {
    if (plugin == nullptr) return E_POINTER;
    return GlobalPluginRegistry().RemoveAudio(plugin) ? S_OK : E_INVALIDARG;
  }

  int32_t AVCORE_CALL GetAudioCaptureDeviceCount() override { return CaptureDeviceCount(*engine_); }

  HRESULT AVCORE_CALL GetAudioCaptureDeviceInfo(int32_t index, wchar_t* name, int32_t capacity) override {
    return CaptureDeviceName(*engine_, index, name, capacity);
  }

 private:
  const std::shared_ptr<QuietwellEngine> engine_;
};

}  // namespace

avcore::IAVDevManager* CreateAVDevManager() { return new (std::nothrow) AVDevManager(); }

}  // namespace tessarine
