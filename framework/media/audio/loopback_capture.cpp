#include "loopback_capture.h"

#include <windows.h>
#include <audioclient.h>
#include <mmdeviceapi.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <vector>

#include "com_object.h"

namespace tessarine {
namespace {

constexpr REFERENCE_TIME kBufferDuration = 2000000;  // 200 ms, in 100 ns units

// Defined here: the import libraries do not carry them.
constexpr GUID kSubtypeIeeeFloat = {0x00000003, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
const PROPERTYKEY kDeviceFriendlyName = {
    {0xA45C254E, 0xDF1C, 0x4EFD, {0x80, 0x20, 0x67, 0xD1, 0x46, 0xA8, 0x50, 0xE0}}, 14};

struct ComApartment {
  ComApartment() : ok(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {}
  ~ComApartment() {
    if (ok) CoUninitialize();
  }
  bool ok;
};

struct MixFormat {
  WAVEFORMATEX* p = nullptr;
  ~MixFormat() {
    if (p) CoTaskMemFree(p);
  }
};

bool IsFloat(const WAVEFORMATEX* f) {
  if (f->wFormatTag == WAVE_FORMAT_IEEE_FLOAT) return true;
  if (f->wFormatTag != WAVE_FORMAT_EXTENSIBLE) return false;
  const auto* ext = reinterpret_cast<const WAVEFORMATEXTENSIBLE*>(f);
  return ext->SubFormat == kSubtypeIeeeFloat;
}

std::wstring FriendlyName(IMMDevice* device) {
  IPropertyStore* raw = nullptr;
  if (FAILED(device->OpenPropertyStore(STGM_READ, &raw))) return L"";
  ComPtr<IPropertyStore> store(raw);
  PROPVARIANT value;
  PropVariantInit(&value);
  std::wstring name;
  if (SUCCEEDED(store->GetValue(kDeviceFriendlyName, &value)) && value.vt == VT_LPWSTR) {
    name = value.pwszVal;
  }
  PropVariantClear(&value);
  return name;
}

// The active capture endpoint monitoring a render endpoint, or null.
ComPtr<IMMDevice> FindMonitor(IMMDeviceEnumerator* devices) {
  IMMDeviceCollection* raw = nullptr;
  if (FAILED(devices->EnumAudioEndpoints(eCapture, DEVICE_STATE_ACTIVE, &raw))) return {};
  ComPtr<IMMDeviceCollection> list(raw);
  UINT count = 0;
  list->GetCount(&count);
  for (UINT i = 0; i < count; ++i) {
    IMMDevice* device = nullptr;
    if (FAILED(list->Item(i, &device))) continue;
    ComPtr<IMMDevice> held(device);
    if (FriendlyName(device).rfind(L"Monitor of", 0) == 0) return held;
  }
  return {};
}

ComPtr<IAudioClient> OpenClient(IMMDevice* device, DWORD flags, MixFormat* format) {
  IAudioClient* raw = nullptr;
  if (FAILED(device->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr,
                              reinterpret_cast<void**>(&raw)))) {
    return {};
  }
  ComPtr<IAudioClient> client(raw);
  if (FAILED(client->GetMixFormat(&format->p))) return {};
  if (FAILED(client->Initialize(AUDCLNT_SHAREMODE_SHARED, flags, kBufferDuration, 0, format->p,
                                nullptr))) {
    return {};
  }
  return client;
}

}  // namespace

bool LoopbackCapture::Start(Sink sink) {
  Stop();
  stop_ = false;
  state_ = 0;
  thread_ = std::thread([this, sink = std::move(sink)]() mutable { Run(std::move(sink)); });
  while (state_ == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  if (state_ < 0) {
    thread_.join();
    return false;
  }
  return true;
}

void LoopbackCapture::Stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

void LoopbackCapture::Run(Sink sink) {
  ComApartment apartment;
  IMMDeviceEnumerator* raw = nullptr;
  if (!apartment.ok ||
      FAILED(CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL,
                              __uuidof(IMMDeviceEnumerator), reinterpret_cast<void**>(&raw)))) {
    error_ = "no device enumerator";
    state_ = -1;
    return;
  }
  ComPtr<IMMDeviceEnumerator> devices(raw);
  MixFormat format;
  ComPtr<IAudioClient> client;
  IMMDevice* render = nullptr;
  if (SUCCEEDED(devices->GetDefaultAudioEndpoint(eRender, eConsole, &render))) {
    ComPtr<IMMDevice> held(render);
    client = OpenClient(render, AUDCLNT_STREAMFLAGS_LOOPBACK, &format);
    if (client) mode_ = "loopback";
  }
  if (!client) {
    ComPtr<IMMDevice> monitor = FindMonitor(devices.get());
    if (monitor) {
      MixFormat monitor_format;
      client = OpenClient(monitor.get(), 0, &monitor_format);
      std::swap(format.p, monitor_format.p);
      if (client) mode_ = "monitor";
    }
  }
  IAudioCaptureClient* capture_raw = nullptr;
  if (!client || FAILED(client->GetService(__uuidof(IAudioCaptureClient),
                                           reinterpret_cast<void**>(&capture_raw)))) {
    error_ = "no loopback capture and no monitor endpoint";
    state_ = -1;
    return;
  }
  ComPtr<IAudioCaptureClient> capture(capture_raw);
  const int32_t rate = static_cast<int32_t>(format.p->nSamplesPerSec);
  const int32_t channels = format.p->nChannels;
  const bool is_float = IsFloat(format.p);
  const int32_t bits = format.p->wBitsPerSample;
  if (FAILED(client->Start())) {
    error_ = "the capture client did not start";
    state_ = -1;
    return;
  }
  state_ = 1;
  std::vector<int16_t> pcm;
  const int32_t kept = channels > 2 ? 2 : channels;
  while (!stop_) {
    UINT32 frames = 0;
    while (SUCCEEDED(capture->GetNextPacketSize(&frames)) && frames > 0) {
      BYTE* data = nullptr;
      DWORD flags = 0;
      if (FAILED(capture->GetBuffer(&data, &frames, &flags, nullptr, nullptr))) break;
      pcm.assign(static_cast<size_t>(frames) * kept, 0);
      if (!(flags & AUDCLNT_BUFFERFLAGS_SILENT)) {
        for (UINT32 i = 0; i < frames; ++i) {
          for (int32_t c = 0; c < kept; ++c) {
            const size_t at = static_cast<size_t>(i) * channels + c;
            float v = 0;
            if (is_float && bits == 32) {
              std::memcpy(&v, data + at * 4, 4);
            } else if (bits == 16) {
              int16_t s;
              std::memcpy(&s, data + at * 2, 2);
              v = s / 32768.0f;
            }
            v = v > 1 ? 1 : (v < -1 ? -1 : v);
            pcm[static_cast<size_t>(i) * kept + c] = static_cast<int16_t>(std::lround(v * 32767.0f));
          }
        }
      }
      capture->ReleaseBuffer(frames);
      sink(pcm.data(), frames, rate, kept);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  client->Stop();
}

}  // namespace tessarine
