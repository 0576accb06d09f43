#include "stream/endpoint_selection.h"

#include <vector>

#include "audio_lib_log.h"

void SelectedEndpoint::Clear() {
  endpoint.reset();
  endpoint_count = 0;
  index = -1;
  friendly_name.clear();
  ansi_name.clear();
}

HResult ResolveEndpointId(AudioDeviceLayer* layer, EndpointFlow flow, const wchar_t* id, const char* default_failed,
                          std::wstring* device_id) {
  std::wstring target;
  if (id == nullptr) {
    const HResult hr = layer->GetDefaultEndpointId(flow, &target);
    if (Failed(hr)) {
      AudioLibLog(default_failed, HrBits(hr));
      return hr;
    }
    AudioLibLog("Default device found: %ws\n", target.c_str());
  } else {
    target = id;
  }
  *device_id = target.substr(0, 38);
  return kS_OK;
}

namespace {

int FindEndpoint(const std::vector<EndpointInfo>& endpoints, const std::wstring& device_id) {
  for (size_t i = 0; i < endpoints.size(); ++i) {
    AudioLibLog("Device: index=%d GUID=%ws, len: %d\n", static_cast<int>(i), endpoints[i].id.c_str(),
                static_cast<int>(endpoints[i].id.size()));
    if (SameDeviceId(endpoints[i].id, device_id)) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace

HResult SelectEndpoint(AudioDeviceLayer* layer, EndpointFlow flow, const std::wstring& device_id,
                       SelectedEndpoint* out) {
  out->Clear();
  AudioLibLog("Device to find: %ws len=%d\n", device_id.c_str(), static_cast<int>(device_id.size()));
  std::vector<EndpointInfo> endpoints;
  HResult hr = layer->EnumEndpoints(flow, &endpoints);
  if (Failed(hr)) return hr;
  out->endpoint_count = static_cast<int>(endpoints.size());
  if (out->endpoint_count == 0) {
    AudioLibLog(" m_uDevCount = 0, No device has been found\n");
    return kS_OK;
  }
  AudioLibLog(" m_uDevCount = %d found\n", out->endpoint_count);
  const int match = FindEndpoint(endpoints, device_id);
  if (match < 0) {
    AudioLibLog("FAILED to FIND a matched device\n");
    return kE_FAIL;
  }
  hr = layer->OpenEndpoint(flow, endpoints[match].id, &out->endpoint);
  if (Failed(hr)) {
    AudioLibLog("Unexpected spEndpoints->Item() Failed hr=0x%x\n", HrBits(hr));
    out->endpoint.reset();
    return hr;
  }
  out->index = match;
  out->friendly_name = endpoints[match].name.substr(0, 255);
  out->ansi_name = NarrowText(out->friendly_name, 256);
  return kS_OK;
}
