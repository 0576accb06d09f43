#include "audio_capture_list.h"

#include "text_convert.h"

namespace tessarine {

int32_t CaptureDeviceCount(QuietwellEngine& engine) {
  return engine.CaptureDeviceCount() + static_cast<int32_t>(GlobalPluginRegistry().AudioPlugins().size());
}

HRESULT CaptureDeviceName(QuietwellEngine& engine, int32_t index, wchar_t* buffer, int32_t capacity) {
  if (buffer == nullptr) return E_POINTER;
  if (capacity < 1) return E_INVALIDARG;
  buffer[0] = L'\0';
  if (index < 0) return E_INVALIDARG;
  const int32_t microphones = engine.CaptureDeviceCount();
  std::wstring name;
  if (index < microphones) {
    if (!engine.CaptureDeviceName(index, &name)) return E_INVALIDARG;
  } else {
    const auto plugins = GlobalPluginRegistry().AudioPlugins();
    const size_t i = static_cast<size_t>(index - microphones);
    if (i >= plugins.size()) return E_INVALIDARG;
    name = plugins[i].name;
  }
  return CopyName(name, buffer, capacity);
}

bool ResolveCaptureDevice(QuietwellEngine& engine, int32_t index, CaptureTarget* target) {
  if (index < 0) return false;
  const int32_t microphones = engine.CaptureDeviceCount();
  if (index < microphones) {
    *target = CaptureTarget{false, index, 0};
    return true;
  }
  const auto plugins = GlobalPluginRegistry().AudioPlugins();
  const size_t i = static_cast<size_t>(index - microphones);
  if (i >= plugins.size()) return false;
  *target = CaptureTarget{true, -1, plugins[i].token};
  return true;
}

int32_t AVCORE_CALLBACK PluginOutputCallback(const void* block, void* context) {
  GlobalPluginRegistry().Deliver(reinterpret_cast<uintptr_t>(context), block);
  return 0;
}

}  // namespace tessarine
