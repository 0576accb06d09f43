#include "device/windows_level_device_layer.h"

// clang-format off
#include <windows.h>
#include <initguid.h>
#include <audioclient.h>
#include <devicetopology.h>
#include <endpointvolume.h>
#include <mmdeviceapi.h>
#include <functiondiscoverykeys_devpkey.h>
#include <mmsystem.h>
#include <dsound.h>
#include <bluetoothapis.h>
// clang-format on

#include <cstring>
#include <utility>

#include "common/win/com_object.h"
#include "common/win/com_ref.h"
#include "device/wasapi_device_layer.h"

using kiv_common::ComRef;

namespace {

Guid ToGuid(const GUID& g) {
  Guid out;
  std::memcpy(&out, &g, sizeof out);
  return out;
}

GUID FromGuid(const Guid& g) {
  GUID out;
  std::memcpy(&out, &g, sizeof out);
  return out;
}

// A text that a call returned in task memory: copied out and freed; the call's result passes through.
HRESULT TakeTaskText(HRESULT hr, LPWSTR text, std::wstring* out) {
  if (SUCCEEDED(hr) && text) {
    *out = text;
    CoTaskMemFree(text);
  }
  return hr;
}

HRESULT CreateEnumerator(ComRef<IMMDeviceEnumerator>* enumerator) {
  return CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, __uuidof(IMMDeviceEnumerator),
                          enumerator->ReceiveVoid());
}

// COM side of an EndpointVolumeSink.
class VolumeCallback : public kiv_common::ComObject<kiv_common::DeleteOnLastRelease, IAudioEndpointVolumeCallback> {
 public:
  explicit VolumeCallback(EndpointVolumeSink* sink) : ComObject(__uuidof(IAudioEndpointVolumeCallback)), sink_(sink) {}
  HRESULT STDMETHODCALLTYPE OnNotify(PAUDIO_VOLUME_NOTIFICATION_DATA data) override {
    if (data)
      sink_->OnNotify(VolumeNotification{ToGuid(data->guidEventContext), data->bMuted != FALSE, data->fMasterVolume});
    return S_OK;
  }

 private:
  ~VolumeCallback() override = default;
  EndpointVolumeSink* sink_;
};

// COM side of a DeviceNotificationSink.
class NotificationClient : public kiv_common::ComObject<kiv_common::DeleteOnLastRelease, IMMNotificationClient> {
 public:
  explicit NotificationClient(DeviceNotificationSink* sink) : ComObject(__uuidof(IMMNotificationClient)), sink_(sink) {}
  HRESULT STDMETHODCALLTYPE OnDeviceStateChanged(LPCWSTR id, DWORD state) override {
    sink_->OnDeviceStateChanged(id ? id : L"", state);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnDeviceAdded(LPCWSTR id) override {
    sink_->OnDeviceAdded(id ? id : L"");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnDeviceRemoved(LPCWSTR id) override {
    sink_->OnDeviceRemoved(id ? id : L"");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnDefaultDeviceChanged(EDataFlow flow, ERole role, LPCWSTR id) override {
    sink_->OnDefaultDeviceChanged(flow == eRender ? EndpointFlow::kRender : EndpointFlow::kCapture,
                                  static_cast<int>(role), id ? id : L"");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnPropertyValueChanged(LPCWSTR, const PROPERTYKEY) override { return S_OK; }

 private:
  ~NotificationClient() override = default;
  DeviceNotificationSink* sink_;
};

class WindowsEndpointVolume : public EndpointVolume {
 public:
  explicit WindowsEndpointVolume(IAudioEndpointVolume* volume) : volume_(volume) {}
  ~WindowsEndpointVolume() override {
    for (auto& entry : callbacks_) volume_->UnregisterControlChangeNotify(entry.second.get());
  }
  HResult GetMasterVolumeLevelScalar(float* level) override { return volume_->GetMasterVolumeLevelScalar(level); }
  HResult SetMasterVolumeLevelScalar(float level, const Guid& context) override {
    const GUID g = FromGuid(context);
    return volume_->SetMasterVolumeLevelScalar(level, &g);
  }
  HResult GetMute(bool* muted) override {
    BOOL m = FALSE;
    const HRESULT hr = volume_->GetMute(&m);
    *muted = m != FALSE;
    return hr;
  }
  HResult RegisterControlChangeNotify(EndpointVolumeSink* sink) override {
    ComRef<VolumeCallback> callback(new VolumeCallback(sink));
    const HRESULT hr = volume_->RegisterControlChangeNotify(callback.get());
    if (FAILED(hr)) return hr;
    callbacks_[sink] = std::move(callback);
    return hr;
  }
  HResult UnregisterControlChangeNotify(EndpointVolumeSink* sink) override {
    auto it = callbacks_.find(sink);
    if (it == callbacks_.end()) return E_INVALIDARG;
    const HRESULT hr = volume_->UnregisterControlChangeNotify(it->second.get());
    callbacks_.erase(it);
    return hr;
  }

 private:
  ComRef<IAudioEndpointVolume> volume_;
  std::map<EndpointVolumeSink*, ComRef<VolumeCallback>> callbacks_;
};

class WindowsVolumeLevel : public VolumeLevel {
 public:
  explicit WindowsVolumeLevel(IAudioVolumeLevel* level) : level_(level) {}
  HResult GetChannelCount(uint32_t* channels) override {
    UINT n = 0;
    const HRESULT hr = level_->GetChannelCount(&n);
    *channels = n;
    return hr;
  }
  HResult GetLevelRange(uint32_t channel, float* lo, float* hi, float* step) override {
    return level_->GetLevelRange(channel, lo, hi, step);
  }
  HResult GetLevel(uint32_t channel, float* db) override { return level_->GetLevel(channel, db); }
  HResult SetLevelUniform(float db) override { return level_->SetLevelUniform(db, nullptr); }

 private:
  ComRef<IAudioVolumeLevel> level_;
};

class WindowsTopologyPart : public TopologyPart {
 public:
  explicit WindowsTopologyPart(IPart* part) : part_(part) {}
  HResult GetName(std::wstring* name) override {
    LPWSTR text = nullptr;
    return TakeTaskText(part_->GetName(&text), text, name);
  }
  HResult GetSubType(Guid* subtype) override {
    GUID g;
    const HRESULT hr = part_->GetSubType(&g);
    if (SUCCEEDED(hr)) *subtype = ToGuid(g);
    return hr;
  }
  HResult ActivateVolumeLevel(std::unique_ptr<VolumeLevel>* level) override {
    IAudioVolumeLevel* l = nullptr;
    const HRESULT hr = part_->Activate(CLSCTX_ALL, __uuidof(IAudioVolumeLevel), reinterpret_cast<void**>(&l));
    if (SUCCEEDED(hr)) level->reset(new WindowsVolumeLevel(l));
    return hr;
  }
  HResult EnumPartsOutgoing(std::vector<std::unique_ptr<TopologyPart>>* parts) override {
    ComRef<IPartsList> list;
    HRESULT hr = part_->EnumPartsOutgoing(list.Receive());
    if (FAILED(hr)) return hr;
    UINT count = 0;
    hr = list->GetCount(&count);
    if (FAILED(hr)) return hr;
    parts->clear();
    for (UINT i = 0; i < count; ++i) {
      IPart* next = nullptr;
      hr = list->GetPart(i, &next);
      if (FAILED(hr)) return hr;
      parts->emplace_back(new WindowsTopologyPart(next));
    }
    return S_OK;
  }

 private:
  ComRef<IPart> part_;
};

class WindowsLevelEndpoint : public LevelEndpoint {
 public:
  explicit WindowsLevelEndpoint(IMMDevice* device) : device_(device) {}
  HResult GetId(std::wstring* id) override {
    LPWSTR text = nullptr;
    return TakeTaskText(device_->GetId(&text), text, id);
  }
  HResult ActivateEndpointVolume(std::unique_ptr<EndpointVolume>* volume) override {
    IAudioEndpointVolume* v = nullptr;
    const HRESULT hr =
        device_->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_ALL, nullptr, reinterpret_cast<void**>(&v));
    if (SUCCEEDED(hr)) volume->reset(new WindowsEndpointVolume(v));
    return hr;
  }
  HResult ActivateAudioClient(std::unique_ptr<AudioClient>* client) override {
    IAudioClient* c = nullptr;
    const HRESULT hr = device_->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr, reinterpret_cast<void**>(&c));
    if (SUCCEEDED(hr)) *client = WrapWasapiAudioClient(c);
    return hr;
  }
  HResult GetConnectedPart(std::unique_ptr<TopologyPart>* part) override {
    ComRef<IDeviceTopology> topology;
    HRESULT hr = device_->Activate(__uuidof(IDeviceTopology), CLSCTX_ALL, nullptr, topology.ReceiveVoid());
    if (FAILED(hr)) return hr;
    ComRef<IConnector> connector, connected;
    if (FAILED(hr = topology->GetConnector(0, connector.Receive()))) return hr;
    if (FAILED(hr = connector->GetConnectedTo(connected.Receive()))) return hr;
    IPart* p = nullptr;
    hr = connected->QueryInterface(__uuidof(IPart), reinterpret_cast<void**>(&p));
    if (SUCCEEDED(hr)) part->reset(new WindowsTopologyPart(p));
    return hr;
  }

 private:
  ComRef<IMMDevice> device_;
};

BOOL CALLBACK CollectDirectSound(LPGUID guid, LPCWSTR description, LPCWSTR, LPVOID context) {
  auto* devices = static_cast<std::vector<DirectSoundDevice>*>(context);
  DirectSoundDevice d;
  d.has_guid = guid != nullptr;
  if (guid) d.id = ToGuid(*guid);
  d.description = description ? description : L"";
  devices->push_back(d);
  return TRUE;
}

}  // namespace

struct WindowsLevelDeviceLayer::Registration {
  ComRef<IMMDeviceEnumerator> enumerator;
  ComRef<NotificationClient> client;
};

WindowsLevelDeviceLayer::WindowsLevelDeviceLayer() = default;

WindowsLevelDeviceLayer::~WindowsLevelDeviceLayer() {
  for (auto& entry : registrations_) {
    entry.second->enumerator->UnregisterEndpointNotificationCallback(entry.second->client.get());
  }
}

bool WindowsLevelDeviceLayer::GetSystemVersion(int* major, int* minor) {
  OSVERSIONINFOW info = {};
  info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!GetVersionExW(&info)) return false;
#pragma GCC diagnostic pop
  *major = static_cast<int>(info.dwMajorVersion);
  *minor = static_cast<int>(info.dwMinorVersion);
  return true;
}

void WindowsLevelDeviceLayer::Sleep(uint32_t ms) { ::Sleep(ms); }

HResult WindowsLevelDeviceLayer::EnumCaptureEndpoints(std::vector<EndpointInfo>* endpoints) {
  return ReadActiveEndpoints(EndpointFlow::kCapture, endpoints, false);
}

HResult WindowsLevelDeviceLayer::OpenCaptureEndpoint(const std::wstring& id, std::unique_ptr<LevelEndpoint>* endpoint) {
  ComRef<IMMDevice> device;
  const HRESULT hr = FindActiveEndpoint(EndpointFlow::kCapture, id, &device);
  if (SUCCEEDED(hr)) endpoint->reset(new WindowsLevelEndpoint(device.Detach()));
  return hr;
}

HResult WindowsLevelDeviceLayer::RegisterDeviceNotifications(DeviceNotificationSink* sink) {
  std::unique_ptr<Registration> r(new Registration);
  HRESULT hr = CreateEnumerator(&r->enumerator);
  if (FAILED(hr)) return hr;
  r->client.Attach(new NotificationClient(sink));
  hr = r->enumerator->RegisterEndpointNotificationCallback(r->client.get());
  if (FAILED(hr)) return hr;
  VORAX::AutoLock lock(mutex_);
  registrations_[sink] = std::move(r);
  return hr;
}

HResult WindowsLevelDeviceLayer::UnregisterDeviceNotifications(DeviceNotificationSink* sink) {
  std::unique_ptr<Registration> r;
  {
    VORAX::AutoLock lock(mutex_);
    auto it = registrations_.find(sink);
    if (it == registrations_.end()) return E_INVALIDARG;
    r = std::move(it->second);
    registrations_.erase(it);
  }
  return r->enumerator->UnregisterEndpointNotificationCallback(r->client.get());
}

HResult WindowsLevelDeviceLayer::EnumDirectSound(DeviceKind kind, std::vector<DirectSoundDevice>* devices) {
  std::vector<DirectSoundDevice> found;
  const HRESULT hr = kind == DeviceKind::kCapture ? DirectSoundCaptureEnumerateW(&CollectDirectSound, &found)
                                                  : DirectSoundEnumerateW(&CollectDirectSound, &found);
  if (SUCCEEDED(hr)) devices->swap(found);
  return hr;
}

HResult WindowsLevelDeviceLayer::GetDefaultVoiceDevice(DeviceKind kind, Guid* id) {
  GUID device;
  const HRESULT hr =
      GetDeviceID(kind == DeviceKind::kCapture ? &DSDEVID_DefaultVoiceCapture : &DSDEVID_DefaultVoicePlayback, &device);
  if (SUCCEEDED(hr)) *id = ToGuid(device);
  return hr;
}

HResult WindowsLevelDeviceLayer::FindConnectedBluetoothDevices(std::vector<std::wstring>* names) {
  names->clear();
  BLUETOOTH_DEVICE_SEARCH_PARAMS search = {};
  search.dwSize = sizeof search;
  search.fReturnConnected = TRUE;
  search.fIssueInquiry = FALSE;
  BLUETOOTH_DEVICE_INFO info = {};
  info.dwSize = sizeof info;
  HBLUETOOTH_DEVICE_FIND find = BluetoothFindFirstDevice(&search, &info);
  if (!find) return S_OK;  // no radio or no device
  do {
    names->push_back(info.szName);
    info.dwSize = sizeof info;
  } while (BluetoothFindNextDevice(find, &info));
  BluetoothFindDeviceClose(find);
  return S_OK;
}
