#include "device/wasapi_device_layer.h"

// clang-format off
#include <initguid.h>
#include <windows.h>
#include <audioclient.h>
#include <audiopolicy.h>
#include <devicetopology.h>
#include <mmsystem.h>
#include <dsound.h>
#include <functiondiscoverykeys_devpkey.h>
#include <mmdeviceapi.h>
#include <shlobj.h>
// clang-format on

#include <cstring>
#include <utility>
#include <vector>

#include "audio_lib_log.h"
#include "common/win/com_ref.h"
#include "device/guid_text.h"

static_assert(sizeof(WAVEFORMATEXTENSIBLE) == sizeof(WaveFormat), "format record layout");
static_assert(sizeof(GUID) == sizeof(Guid), "GUID layout");

using kiv_common::ComRef;

namespace {

// IAudioAutoGainControl as Windows lays it out (the MinGW header names its two methods wrongly).
struct AutoGainControl : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetEnabled(BOOL* enabled) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetEnabled(BOOL enable, LPCGUID event_context) = 0;
};
const GUID kKsNodeTypeAgc = {0xE88C9BA0, 0xC557, 0x11D0, {0x8A, 0x2B, 0x00, 0xA0, 0xC9, 0x25, 0x5A, 0xC1}};
const IID kIidAutoGainControl = {0x85401fd4, 0x6de4, 0x4b9d, {0x98, 0x69, 0x2d, 0x67, 0x53, 0xa8, 0x2f, 0x3c}};

EDataFlow ToDataFlow(EndpointFlow flow) { return flow == EndpointFlow::kRender ? eRender : eCapture; }

// `log`: failures are logged (the level layer reads the same endpoints without logging).
HResult CreateEnumerator(ComRef<IMMDeviceEnumerator>* enumerator, bool log = true) {
  const HRESULT hr = CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, __uuidof(IMMDeviceEnumerator),
                                      enumerator->ReceiveVoid());
  if (FAILED(hr) && log) AudioLibLog("Failed to create MMDeviceEnumerator hr=0x%x\n", static_cast<unsigned>(hr));
  return hr;
}

HResult ReadStringProperty(IMMDevice* device, const PROPERTYKEY& key, std::wstring* out, bool log = true) {
  ComRef<IPropertyStore> store;
  HRESULT hr = device->OpenPropertyStore(STGM_READ, store.Receive());
  if (FAILED(hr)) {
    if (log) AudioLibLog("Unexpected m_spDevice->OpenPropertyStore() Failed hr=0x%x\n", static_cast<unsigned>(hr));
    return hr;
  }
  PROPVARIANT value;
  PropVariantInit(&value);
  hr = store->GetValue(key, &value);
  if (SUCCEEDED(hr)) {
    if (value.vt == VT_LPWSTR && value.pwszVal) {
      *out = value.pwszVal;
    } else {
      hr = E_FAIL;
    }
  }
  PropVariantClear(&value);
  return hr;
}

HResult EndpointCollection(EndpointFlow flow, ComRef<IMMDeviceCollection>* collection, UINT* count, bool log = true) {
  ComRef<IMMDeviceEnumerator> enumerator;
  HRESULT hr = CreateEnumerator(&enumerator, log);
  if (FAILED(hr)) return hr;
  hr = enumerator->EnumAudioEndpoints(ToDataFlow(flow), DEVICE_STATE_ACTIVE, collection->Receive());
  if (FAILED(hr)) {
    if (log) AudioLibLog("EnumAudioEndpoints() failed hr=0x%x\n", static_cast<unsigned>(hr));
    return hr;
  }
  hr = (*collection)->GetCount(count);
  if (FAILED(hr) && log) AudioLibLog("spEndpoints->GetCount() Failed hr=0x%x\n", static_cast<unsigned>(hr));
  return hr;
}

class WasapiCaptureClient : public CaptureClient {
 public:
  explicit WasapiCaptureClient(IAudioCaptureClient* client) : client_(client) {}
  HResult GetBuffer(uint8_t** data, uint32_t* frames, uint32_t* flags, uint64_t* position) override {
    BYTE* buffer = nullptr;
    UINT32 count = 0;
    DWORD buffer_flags = 0;
    UINT64 device_position = 0;
    const HRESULT hr = client_->GetBuffer(&buffer, &count, &buffer_flags, &device_position, nullptr);
    *data = buffer;
    *frames = count;
    *flags = buffer_flags;
    *position = device_position;
    return hr;
  }
  HResult ReleaseBuffer(uint32_t frames) override { return client_->ReleaseBuffer(frames); }

 private:
  ComRef<IAudioCaptureClient> client_;
};

class WasapiRenderClient : public RenderClient {
 public:
  explicit WasapiRenderClient(IAudioRenderClient* client) : client_(client) {}
  HResult GetBuffer(uint32_t frames, uint8_t** data) override {
    BYTE* buffer = nullptr;
    const HRESULT hr = client_->GetBuffer(frames, &buffer);
    *data = buffer;
    return hr;
  }
  HResult ReleaseBuffer(uint32_t frames, uint32_t flags) override { return client_->ReleaseBuffer(frames, flags); }

 private:
  ComRef<IAudioRenderClient> client_;
};

class WasapiSessionVolume : public SessionVolume {
 public:
  explicit WasapiSessionVolume(ISimpleAudioVolume* volume) : volume_(volume) {}
  HResult GetMasterVolume(float* level) override { return volume_->GetMasterVolume(level); }
  HResult SetMasterVolume(float level) override { return volume_->SetMasterVolume(level, nullptr); }

 private:
  ComRef<ISimpleAudioVolume> volume_;
};

class WasapiAudioClient : public AudioClient {
 public:
  explicit WasapiAudioClient(IAudioClient* client) : client_(client) {}

  HResult GetMixFormat(WaveFormat* format) override {
    WAVEFORMATEX* mix = nullptr;
    const HRESULT hr = client_->GetMixFormat(&mix);
    if (FAILED(hr)) return hr;
    *format = WaveFormat{};
    size_t size = sizeof(WAVEFORMATEX) + mix->cbSize;
    if (size > sizeof(WaveFormat)) size = sizeof(WaveFormat);
    std::memcpy(format, mix, size);
    CoTaskMemFree(mix);
    return hr;
  }

  HResult IsFormatSupported(bool exclusive, const WaveFormat& format) override {
    WAVEFORMATEX* closest = nullptr;
    const HRESULT hr =
        client_->IsFormatSupported(exclusive ? AUDCLNT_SHAREMODE_EXCLUSIVE : AUDCLNT_SHAREMODE_SHARED,
                                   reinterpret_cast<const WAVEFORMATEX*>(&format), exclusive ? nullptr : &closest);
    if (closest) CoTaskMemFree(closest);
    return hr;
  }

  HResult GetDevicePeriod(int64_t* default_period, int64_t* minimum_period) override {
    REFERENCE_TIME d = 0, m = 0;
    const HRESULT hr = client_->GetDevicePeriod(&d, &m);
    *default_period = d;
    *minimum_period = m;
    return hr;
  }

  HResult Initialize(bool exclusive, int64_t duration, int64_t periodicity, const WaveFormat& format) override {
    return client_->Initialize(exclusive ? AUDCLNT_SHAREMODE_EXCLUSIVE : AUDCLNT_SHAREMODE_SHARED,
                               AUDCLNT_STREAMFLAGS_EVENTCALLBACK, duration, periodicity,
                               reinterpret_cast<const WAVEFORMATEX*>(&format), nullptr);
  }

  HResult GetBufferSize(uint32_t* frames) override {
    UINT32 n = 0;
    const HRESULT hr = client_->GetBufferSize(&n);
    *frames = n;
    return hr;
  }

  HResult SetEventHandle(PlatformEvent* event) override {
    return client_->SetEventHandle(static_cast<HANDLE>(event->native_handle()));
  }

  HResult Start() override { return client_->Start(); }
  HResult Stop() override { return client_->Stop(); }

  HResult GetCurrentPadding(uint32_t* frames) override {
    UINT32 n = 0;
    const HRESULT hr = client_->GetCurrentPadding(&n);
    *frames = n;
    return hr;
  }

  HResult GetCaptureClient(std::unique_ptr<CaptureClient>* out) override {
    IAudioCaptureClient* client = nullptr;
    const HRESULT hr = client_->GetService(__uuidof(IAudioCaptureClient), reinterpret_cast<void**>(&client));
    if (SUCCEEDED(hr)) out->reset(new WasapiCaptureClient(client));
    return hr;
  }

  HResult GetRenderClient(std::unique_ptr<RenderClient>* out) override {
    IAudioRenderClient* client = nullptr;
    const HRESULT hr = client_->GetService(__uuidof(IAudioRenderClient), reinterpret_cast<void**>(&client));
    if (SUCCEEDED(hr)) out->reset(new WasapiRenderClient(client));
    return hr;
  }

  HResult GetSessionVolume(std::unique_ptr<SessionVolume>* out) override {
    ISimpleAudioVolume* volume = nullptr;
    const HRESULT hr = client_->GetService(__uuidof(ISimpleAudioVolume), reinterpret_cast<void**>(&volume));
    if (SUCCEEDED(hr)) out->reset(new WasapiSessionVolume(volume));
    return hr;
  }

 private:
  ComRef<IAudioClient> client_;
};

bool NameMeansAgc(const wchar_t* name) {
  return std::wcsstr(name, L"AGC") != nullptr || std::wcsstr(name, L"Automatic Gain Control") != nullptr;
}

// Depth-first search along the outgoing parts, in index order.
bool FindAgcPart(IPart* part, bool by_name, ComRef<IPart>* found) {
  if (!by_name) {
    GUID subtype;
    const HRESULT hr = part->GetSubType(&subtype);
    if (FAILED(hr)) {
      AudioLibLog("Could not get subtype GetSubType() failed: hr = 0x%08x", static_cast<unsigned>(hr));
    } else if (IsEqualGUID(subtype, kKsNodeTypeAgc)) {
      part->AddRef();
      *found = ComRef<IPart>(part);
      return true;
    }
  } else {
    LPWSTR name = nullptr;
    const HRESULT hr = part->GetName(&name);
    if (FAILED(hr)) {
      AudioLibLog("Could not get part name: hr = 0x%08x", static_cast<unsigned>(hr));
    } else {
      AudioLibLog("pPart->GetName: %ws\n", name);
      const bool agc = NameMeansAgc(name);
      CoTaskMemFree(name);
      if (agc) {
        part->AddRef();
        *found = ComRef<IPart>(part);
        return true;
      }
    }
  }
  ComRef<IPartsList> outgoing;
  HRESULT hr = part->EnumPartsOutgoing(outgoing.Receive());
  if (hr == static_cast<HRESULT>(0x80070490) /* E_NOTFOUND */) {
    AudioLibLog("No outgoing parts at this part\n");
    return false;
  }
  if (FAILED(hr)) {
    AudioLibLog("Failed to enumrate outgoing parts: hr = 0x%08x\n", static_cast<unsigned>(hr));
    return false;
  }
  UINT count = 0;
  hr = outgoing->GetCount(&count);
  if (FAILED(hr)) {
    AudioLibLog("pOutgoingPartsList->GetCount() failed: hr = 0x%08x\n", static_cast<unsigned>(hr));
    return false;
  }
  for (UINT i = 0; i < count; ++i) {
    ComRef<IPart> next;
    hr = outgoing->GetPart(i, next.Receive());
    if (FAILED(hr)) {
      AudioLibLog("pOutgoingPartsList->GetPart() failed = 0x%08x\n", static_cast<unsigned>(hr));
      return false;
    }
    if (FindAgcPart(next.get(), by_name, found)) return true;
  }
  return false;
}

class WasapiEndpoint : public AudioEndpoint {
 public:
  explicit WasapiEndpoint(IMMDevice* device) : device_(device) {}

  HResult Activate(std::unique_ptr<AudioClient>* out) override {
    IAudioClient* client = nullptr;
    const HRESULT hr =
        device_->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr, reinterpret_cast<void**>(&client));
    if (SUCCEEDED(hr)) out->reset(new WasapiAudioClient(client));
    return hr;
  }

  HResult GetDeviceFormat(WaveFormat* format) override {
    ComRef<IPropertyStore> store;
    HRESULT hr = device_->OpenPropertyStore(STGM_READ, store.Receive());
    if (FAILED(hr)) return hr;
    PROPVARIANT value;
    PropVariantInit(&value);
    hr = store->GetValue(PKEY_AudioEngine_DeviceFormat, &value);
    if (SUCCEEDED(hr)) {
      if (value.vt == VT_BLOB && value.blob.pBlobData && value.blob.cbSize >= sizeof(WAVEFORMATEX)) {
        *format = WaveFormat{};
        std::memcpy(format, value.blob.pBlobData,
                    value.blob.cbSize < sizeof(WaveFormat) ? value.blob.cbSize : sizeof(WaveFormat));
      } else {
        hr = E_FAIL;
      }
    }
    PropVariantClear(&value);
    return hr;
  }

  HResult DisableSystemAgc() override {
    ComRef<IDeviceTopology> topology;
    HRESULT hr = device_->Activate(__uuidof(IDeviceTopology), CLSCTX_ALL, nullptr, topology.ReceiveVoid());
    if (FAILED(hr)) {
      AudioLibLog("Failed to activate IDeviceTopology for the mic. hr = 0x%x", static_cast<unsigned>(hr));
      return hr;
    }
    ComRef<IConnector> connector;
    hr = topology->GetConnector(0, connector.Receive());
    if (FAILED(hr)) {
      AudioLibLog("Failed to get IConnector for the mic device hr = 0x%x", static_cast<unsigned>(hr));
      return hr;
    }
    ComRef<IConnector> connected;
    hr = connector->GetConnectedTo(connected.Receive());
    if (FAILED(hr)) {
      AudioLibLog("Failed to get IConnector for connector on the device hr = 0x%x", static_cast<unsigned>(hr));
      return hr;
    }
    ComRef<IPart> part;
    hr = connected->QueryInterface(__uuidof(IPart), part.ReceiveVoid());
    if (FAILED(hr)) {
      AudioLibLog("Couldn't get the IPart for that device: hr = 0x%08x\n", static_cast<unsigned>(hr));
      return hr;
    }
    ComRef<IPart> agc_part;
    if (FindAgcPart(part.get(), false, &agc_part)) {
      AudioLibLog("Found AGC interface111111111111111\n");
    } else {
      AudioLibLog("Failed to find AGC by subtype, search again by name\n");
      if (FindAgcPart(part.get(), true, &agc_part)) AudioLibLog("Found AGC interface00000000000\n");
    }
    if (!agc_part) {
      AudioLibLog("No AGC found\n");
      return E_FAIL;
    }
    hr = agc_part->Activate(CLSCTX_ALL, kIidAutoGainControl, agc_.ReceiveVoid());
    if (FAILED(hr)) return hr;
    return agc_->SetEnabled(FALSE, nullptr);
  }

 private:
  ComRef<IMMDevice> device_;
  ComRef<AutoGainControl> agc_;
};

BOOL CALLBACK CollectPlayoutDevice(LPGUID guid, LPCWSTR description, LPCWSTR, LPVOID context) {
  if (guid == nullptr || description == nullptr) return TRUE;  // the primary driver
  auto* devices = static_cast<std::vector<DeviceRecord>*>(context);
  DeviceRecord record;
  record.name = description;
  std::memcpy(&record.id, guid, sizeof(Guid));
  devices->push_back(record);
  return TRUE;
}

}  // namespace

struct WasapiDeviceLayer::Avrt {
  using SetCharacteristics = HANDLE(WINAPI*)(LPCWSTR, LPDWORD);
  using Revert = BOOL(WINAPI*)(HANDLE);
  using SetPriority = BOOL(WINAPI*)(HANDLE, int);
  HMODULE module = nullptr;
  SetCharacteristics set_characteristics = nullptr;
  Revert revert = nullptr;
  SetPriority set_priority = nullptr;
};

WasapiDeviceLayer::WasapiDeviceLayer() : avrt_(new Avrt) {
  wchar_t system[MAX_PATH] = {};
  if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_SYSTEM, nullptr, 0, system))) {
    std::wstring path = std::wstring(system) + L"\\Avrt.dll";
    avrt_->module = LoadLibraryW(path.c_str());
  }
  if (avrt_->module) {
    avrt_->set_characteristics = reinterpret_cast<Avrt::SetCharacteristics>(
        reinterpret_cast<void*>(GetProcAddress(avrt_->module, "AvSetMmThreadCharacteristicsW")));
    avrt_->revert = reinterpret_cast<Avrt::Revert>(
        reinterpret_cast<void*>(GetProcAddress(avrt_->module, "AvRevertMmThreadCharacteristics")));
    avrt_->set_priority = reinterpret_cast<Avrt::SetPriority>(
        reinterpret_cast<void*>(GetProcAddress(avrt_->module, "AvSetMmThreadPriority")));
  }
}

WasapiDeviceLayer::~WasapiDeviceLayer() {
  if (avrt_->module) FreeLibrary(avrt_->module);
  delete avrt_;
}

bool WasapiDeviceLayer::InitializeThread() { return SUCCEEDED(CoInitialize(nullptr)); }

void WasapiDeviceLayer::UninitializeThread() { CoUninitialize(); }

HResult ReadActiveEndpoints(EndpointFlow flow, std::vector<EndpointInfo>* endpoints, bool log) {
  ComRef<IMMDeviceCollection> collection;
  UINT count = 0;
  HRESULT hr = EndpointCollection(flow, &collection, &count, log);
  if (FAILED(hr)) return hr;
  std::vector<EndpointInfo> found;
  for (UINT i = 0; i < count; ++i) {
    ComRef<IMMDevice> device;
    hr = collection->Item(i, device.Receive());
    if (FAILED(hr)) {
      if (log) AudioLibLog("Unexpected spEndpoints->Item() Failed hr=0x%x\n", static_cast<unsigned>(hr));
      return hr;
    }
    EndpointInfo info;
    ReadStringProperty(device.get(), PKEY_AudioEndpoint_GUID, &info.id, log);
    ReadStringProperty(device.get(), PKEY_Device_FriendlyName, &info.name, log);
    found.push_back(info);
  }
  endpoints->swap(found);
  return S_OK;
}

HResult WasapiDeviceLayer::EnumEndpoints(EndpointFlow flow, std::vector<EndpointInfo>* endpoints) {
  return ReadActiveEndpoints(flow, endpoints, true);
}

HResult WasapiDeviceLayer::GetDefaultEndpointId(EndpointFlow flow, std::wstring* id) {
  ComRef<IMMDeviceEnumerator> enumerator;
  HRESULT hr = CreateEnumerator(&enumerator);
  if (FAILED(hr)) return hr;
  ComRef<IMMDevice> device;
  hr = enumerator->GetDefaultAudioEndpoint(ToDataFlow(flow), eCommunications, device.Receive());
  if (FAILED(hr)) return hr;
  return ReadStringProperty(device.get(), PKEY_AudioEndpoint_GUID, id);
}

HResult FindActiveEndpoint(EndpointFlow flow, const std::wstring& id, ComRef<IMMDevice>* device) {
  ComRef<IMMDeviceCollection> collection;
  UINT count = 0;
  HRESULT hr = EndpointCollection(flow, &collection, &count, false);
  if (FAILED(hr)) return hr;
  for (UINT i = 0; i < count; ++i) {
    ComRef<IMMDevice> candidate;
    hr = collection->Item(i, candidate.Receive());
    if (FAILED(hr)) return hr;
    std::wstring text;
    if (SUCCEEDED(ReadStringProperty(candidate.get(), PKEY_AudioEndpoint_GUID, &text, false)) &&
        SameDeviceId(text, id)) {
      *device = std::move(candidate);
      return S_OK;
    }
  }
  return kE_NOTFOUND;
}

HResult WasapiDeviceLayer::OpenEndpoint(EndpointFlow flow, const std::wstring& id,
                                        std::unique_ptr<AudioEndpoint>* endpoint) {
  ComRef<IMMDevice> device;
  const HRESULT hr = FindActiveEndpoint(flow, id, &device);
  if (SUCCEEDED(hr)) endpoint->reset(new WasapiEndpoint(device.Detach()));
  return hr;
}

HResult WasapiDeviceLayer::EnumPlayoutDevices(std::vector<DeviceRecord>* devices) {
  std::vector<DeviceRecord> found;
  const HRESULT hr = DirectSoundEnumerateW(&CollectPlayoutDevice, &found);
  if (SUCCEEDED(hr)) devices->swap(found);
  return hr;
}

PlatformEvent::WaitResult WasapiDeviceLayer::WaitForEvent(PlatformEvent* event, uint32_t timeout_ms) {
  return event->Wait(timeout_ms);
}

bool WasapiDeviceLayer::Sleep(uint32_t ms, PlatformEvent* wake) {
  if (wake) return wake->Wait(ms) == PlatformEvent::kSignalled;
  ::Sleep(ms);
  return false;
}

bool WasapiDeviceLayer::RegisterProAudioThread(void** task) {
  *task = nullptr;
  if (!avrt_->set_characteristics) return false;
  DWORD index = 0;
  HANDLE handle = avrt_->set_characteristics(L"Pro Audio", &index);
  if (!handle) return false;
  *task = handle;
  return avrt_->set_priority && avrt_->set_priority(handle, 2 /* AVRT_PRIORITY_CRITICAL */);
}

void WasapiDeviceLayer::RevertProAudioThread(void* task) {
  if (task && avrt_->revert) avrt_->revert(static_cast<HANDLE>(task));
}

std::unique_ptr<AudioClient> WrapWasapiAudioClient(void* audio_client) {
  return std::unique_ptr<AudioClient>(new WasapiAudioClient(static_cast<IAudioClient*>(audio_client)));
}
