#include "loopback_capture.h"

#include <windows.h>

#include <audioclient.h>
#include <mmdeviceapi.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "com_object.h"
#include "monitor_choice.h"

namespace tessarine {
namespace {

constexpr REFERENCE_TIME kBufferDuration = 2000000;  // 200 ms, in 100 ns units

// Defined here: the import libraries do not carry them.
constexpr GUID kSubtypeIeeeFloat = {0x00000003, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
const PROPERTYKEY kDeviceFriendlyName = {{0xA45C254E, 0xDF1C, 0x4EFD, {0x80, 0x20, 0x67, 0xD1, 0x46, 0xA8, 0x50, 0xE0}},
                                         14};

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
  ComRef<IPropertyStore> store(raw);
  PROPVARIANT value;
  PropVariantInit(&value);
  std::wstring name;
  if (SUCCEEDED(store->GetValue(kDeviceFriendlyName, &value)) && value.vt == VT_LPWSTR) {
    name = value.pwszVal;
  }
  PropVariantClear(&value);
  return name;
}

// The active capture endpoint that monitors the default render endpoint (see
// ChooseMonitor), or null.
ComRef<IMMDevice> FindMonitor(IMMDeviceEnumerator* devices, const std::wstring& render_name,
                              const std::wstring& playing_name) {
  IMMDeviceCollection* raw = nullptr;
  if (FAILED(devices->EnumAudioEndpoints(eCapture, DEVICE_STATE_ACTIVE, &raw))) return {};
  ComRef<IMMDeviceCollection> list(raw);
  UINT count = 0;
  list->GetCount(&count);
  std::vector<ComRef<IMMDevice>> endpoints;
  std::vector<std::wstring> names;
  for (UINT i = 0; i < count; ++i) {
    IMMDevice* device = nullptr;
    if (FAILED(list->Item(i, &device))) continue;
    endpoints.emplace_back(device);
    names.push_back(FriendlyName(device));
  }
  const int chosen = ChooseMonitor(names, render_name, playing_name);
  return chosen < 0 ? ComRef<IMMDevice>() : std::move(endpoints[static_cast<size_t>(chosen)]);
}

ComRef<IAudioClient> OpenClient(IMMDevice* device, DWORD flags, MixFormat* format, HRESULT* hr) {
  IAudioClient* raw = nullptr;
  *hr = device->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr, reinterpret_cast<void**>(&raw));
  if (FAILED(*hr)) return {};
  ComRef<IAudioClient> client(raw);
  *hr = client->GetMixFormat(&format->p);
  if (FAILED(*hr)) return {};
  *hr = client->Initialize(AUDCLNT_SHAREMODE_SHARED, flags, kBufferDuration, 0, format->p, nullptr);
  if (FAILED(*hr)) return {};
  return client;
}

// A started-up capture on `device`: its client and capture service, or nulls.
bool OpenCapture(IMMDevice* device, DWORD flags, MixFormat* format, ComRef<IAudioClient>* client,
                 ComRef<IAudioCaptureClient>* capture, HRESULT* hr) {
  ComRef<IAudioClient> c = OpenClient(device, flags, format, hr);
  if (!c) return false;
  IAudioCaptureClient* raw = nullptr;
  *hr = c->GetService(__uuidof(IAudioCaptureClient), reinterpret_cast<void**>(&raw));
  if (FAILED(*hr) || raw == nullptr) return false;
  *capture = ComRef<IAudioCaptureClient>(raw);
  *client = std::move(c);
  return true;
}

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  return out;
}

std::string Hex(HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lx", static_cast<unsigned long>(hr));
  return text;
}

}  // namespace

bool LoopbackCapture::Start(Sink sink, std::wstring playing_name) {
  Stop();
  playing_name_ = std::move(playing_name);
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
  if (!apartment.ok || FAILED(CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL,
                                               __uuidof(IMMDeviceEnumerator), reinterpret_cast<void**>(&raw)))) {
    error_ = "no device enumerator";
    state_ = -1;
    return;
  }
  ComRef<IMMDeviceEnumerator> devices(raw);
  MixFormat format;
  ComRef<IAudioClient> client;
  ComRef<IAudioCaptureClient> capture;
  IMMDevice* render = nullptr;
  HRESULT loopback_hr = E_NOINTERFACE, monitor_hr = E_NOINTERFACE;
  std::wstring render_name;
  if (SUCCEEDED(devices->GetDefaultAudioEndpoint(eRender, eConsole, &render))) {
    ComRef<IMMDevice> held(render);
    render_name = FriendlyName(render);
    if (OpenCapture(render, AUDCLNT_STREAMFLAGS_LOOPBACK, &format, &client, &capture, &loopback_hr)) {
      mode_ = "loopback";
    }
  }
  if (!capture) {
    ComRef<IMMDevice> monitor = FindMonitor(devices.get(), render_name, playing_name_);
    MixFormat monitor_format;
    if (monitor && OpenCapture(monitor.get(), 0, &monitor_format, &client, &capture, &monitor_hr)) {
      std::swap(format.p, monitor_format.p);
      mode_ = "monitor (" + Narrow(FriendlyName(monitor.get())) + ")";
    }
  }
  if (!capture) {
    error_ = "no loopback capture (" + Hex(loopback_hr) + ") and no monitor endpoint of \"" + Narrow(render_name) +
             "\" or \"" + Narrow(playing_name_) + "\" (" + Hex(monitor_hr) + ")";
    state_ = -1;
    return;
  }
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
