#include "playback/was_playback.h"

#include <algorithm>
#include <cstring>

#include "audio_lib_log.h"
#include "core/audio_core.h"
#include "stream/endpoint_opener.h"
#include "stream/endpoint_selection.h"

WASPlayback::WASPlayback(AudioDeviceLayer* layer, AudioCore* core)
    : layer_(layer), core_(core), restart_(layer, "WASPlayback::RestartPlayThreadProc") {}

WASPlayback::~WASPlayback() {
  restart_.BeginClose();
  Stop();
  restart_.JoinAll();
  if (thread_.running()) Stop();
  {
    VORAX::AutoLock lock(volume_mutex_);
    session_volume_.reset();
  }
  selected_.endpoint.reset();
}

AudioCore& WASPlayback::Core() { return core_ ? *core_ : AudioCore::Instance(); }

HResult WASPlayback::EnumPlayoutDevices(bool select_first) {
  std::vector<DeviceRecord> previous = devices_;
  devices_.clear();
  const HResult hr = layer_->EnumPlayoutDevices(&devices_);
  if (Failed(hr)) {
    devices_ = previous;
    return hr;
  }
  if (select_first && !devices_.empty()) device_guid_ = devices_[0].id;
  return hr;
}

void WASPlayback::Init(const wchar_t* id) {
  VORAX::AutoLock lock(control_);
  AudioLibLog("Init WASPlayback with device %ws \n", id ? id : L"(null)");
  ThreadComScope com(layer_);
  selected_.Clear();
  {
    VORAX::AutoLock volume_lock(volume_mutex_);
    session_volume_.reset();
  }
  const char* default_failed = "spEnumerator->GetDefaultAudioEndpoint Failed hr=0x%x\n";
  if (Failed(ResolveEndpointId(layer_, EndpointFlow::kRender, id, default_failed, &device_id_))) return;
  if (Failed(SelectEndpoint(layer_, EndpointFlow::kRender, device_id_, &selected_)) || !selected_.endpoint) return;
  AudioLibLog("Matched device found: index=%d Name=%s\n", selected_.index, selected_.ansi_name.c_str());
  Core().set_speaker_name(selected_.ansi_name);
  const HResult format_hr = CheckFormat(false);
  if (Failed(format_hr)) AudioLibLog("CheckFormat() %s Failed hr=0x%x\n", "SHARED MODE", HrBits(format_hr));
  channels_ = format_.channels;
  rate_ = static_cast<int>(format_.samples_per_sec);
  buffer_size_ = rate_ / 100 * channels_ * 2;
  device_buffer_.assign(static_cast<size_t>(buffer_size_), 0);
  mono_buffer_.assign(static_cast<size_t>(rate_ / 100 * 2), 0);
}

HResult WASPlayback::CheckFormat(bool exclusive) {
  std::unique_ptr<AudioClient> client;
  HResult hr = selected_.endpoint->Activate(&client);
  if (Failed(hr)) {
    AudioLibLog("Unexpected m_spDevice->Activate()| Failed hr=0x%x\n", HrBits(hr));
    return hr;
  }
  WaveFormat mix = {};
  hr = client->GetMixFormat(&mix);
  if (Failed(hr)) {
    AudioLibLog("Unable to get mix format on audio client: hr=0x%x\n", HrBits(hr));
    return hr;
  }
  AudioLibLog("wFormatTag: %d nChannels: %d nSamplesPerSec: %d nBlockAlign: %d wBitsPerSample: %d\n", mix.format_tag,
              mix.channels, static_cast<int>(mix.samples_per_sec), mix.block_align, mix.bits_per_sample);
  MakeInt16Format(mix, &format_);
  hr = client->IsFormatSupported(exclusive, format_);
  if (hr != kS_OK) AudioLibLog("IsFormatSupported Failed hr=0x%x", HrBits(hr));
  return kS_OK;
}

void WASPlayback::Start() {
  VORAX::AutoLock lock(control_);
  AudioLibLog("WASPlayback %s enter.\n", "Start");
  if (thread_.running()) {
    AudioLibLog("WASPlayback %s thread is exist, stop it.\n", "Start");
    Stop();
  }
  stop_ = false;
  if (!thread_.Start([this] { PlayProc(); }, true)) stop_ = true;
}

void WASPlayback::Stop() {
  VORAX::AutoLock lock(control_);
  AudioLibLog("%s, m_hThread : %p, enter.\n", "WASPlayback::Stop", thread_.id());
  stop_ = true;
  restart_.Cancel();
  if (!thread_.running()) return;
  const void* id = thread_.id();
  if (thread_.Join(2000)) {
    AudioLibLog("%s, m_hThread : %p, success stopped.\n", "WASPlayback::Stop", id);
  } else {
    AudioLibLog("%s, m_hThread : %p, stopp Failed dwRet = %x, the last error: %x\n", "WASPlayback::Stop", id, 0x102u,
                0u);
  }
}

void WASPlayback::ResetDevice(const Guid& guid) {
  VORAX::AutoLock lock(control_);
  Stop();
  device_guid_ = guid;
  const std::wstring text = FormatGuidText(guid);
  AudioLibLog("WASPlayback::ResetDevice reset to device: %ws", text.c_str());
  Init(text.c_str());
  Start();
}

bool WASPlayback::GetVolume(float* level) {
  VORAX::AutoLock lock(volume_mutex_);
  return session_volume_ && Succeeded(session_volume_->GetMasterVolume(level));
}

bool WASPlayback::SetVolume(float level) {
  VORAX::AutoLock lock(volume_mutex_);
  return session_volume_ && Succeeded(session_volume_->SetMasterVolume(level));
}

void WASPlayback::FillBuffer(uint8_t* out, int bytes, int rate) {
  AudioCore& core = Core();
  const int capacity = static_cast<int>(device_buffer_.size() * sizeof(int16_t));
  if (bytes > capacity) bytes = capacity;
  if (bytes <= 0) return;
  std::memset(device_buffer_.data(), 0, static_cast<size_t>(bytes));
  played_bytes_ += bytes;
  if (channels_ == 1) {
    core.RenderPull(reinterpret_cast<uint8_t*>(device_buffer_.data()), bytes, rate);
  } else if (channels_ == 2) {
    std::fill(mono_buffer_.begin(), mono_buffer_.end(), 0);
    core.RenderPull(reinterpret_cast<uint8_t*>(mono_buffer_.data()), bytes / 2, rate);
    for (int i = 0; i < bytes / 4; ++i) {
      device_buffer_[2 * i] = mono_buffer_[i];
      device_buffer_[2 * i + 1] = mono_buffer_[i];
    }
  }
  std::memcpy(out, device_buffer_.data(), static_cast<size_t>(bytes));
}

void WASPlayback::PlayProc() {
  AudioLibLog("WASPlayback::PlayProc: enter\n");
  const bool com = layer_->InitializeThread();
  restart_.ClearPending();
  RenderStream stream;
  bool restart = false;
  if (OpenRenderStream(&stream)) restart = RunRenderLoop(&stream);
  LeaveRenderThread(com, restart, &stream);
}

void WASPlayback::LeaveRenderThread(bool com, bool restart, RenderStream* stream) {
  {
    VORAX::AutoLock lock(volume_mutex_);
    session_volume_.reset();
  }
  stream->render.reset();
  stream->client.reset();
  stop_ = true;
  if (com) layer_->UninitializeThread();
  if (restart) StartRestartThread();
}

bool WASPlayback::OpenRenderStream(RenderStream* stream) {
  Core();
  if (!selected_.endpoint) {
    AudioLibLog("Unexpected: m_spDevice NULL\n");
    return false;
  }
  EndpointOpener opener(selected_.endpoint.get(),
                        {nullptr, nullptr, "Unexpected spAudioClient->Initialize() Failed hr=0x%x\n"});
  HResult hr = opener.Activate();
  if (Succeeded(hr)) hr = opener.Initialize(false, 500000, false, format_, rate_);
  if (Failed(hr)) return false;
  stream->client = opener.TakeClient();
  std::unique_ptr<SessionVolume> volume;
  hr = stream->client->GetSessionVolume(&volume);
  if (Failed(hr)) {
    AudioLibLog("Unexpected spAudioClient->GetService(ISimpleAudioVolume) Failed hr=0x%x\n", HrBits(hr));
    return false;
  }
  {
    VORAX::AutoLock lock(volume_mutex_);
    session_volume_ = std::move(volume);
  }
  return StartRenderStream(stream);
}

// Event, render client and buffer size; the whole buffer once silent; then the stream starts.
bool WASPlayback::StartRenderStream(RenderStream* stream) {
  AudioClient* client = stream->client.get();
  uint8_t* data = nullptr;
  HResult hr;
  if (Failed(hr = client->SetEventHandle(&stream->event)) || Failed(hr = client->GetRenderClient(&stream->render)) ||
      Failed(hr = client->GetBufferSize(&stream->buffer_frames))) {
    AudioLibLog("error on line %d, hr = 0x%x \n", __LINE__, HrBits(hr));
    return false;
  }
  if (Failed(hr = stream->render->GetBuffer(stream->buffer_frames, &data))) {
    AudioLibLog("error on line %d, hr = 0x%x \n", __LINE__, HrBits(hr));
    return false;
  }
  std::memset(data, 0, static_cast<size_t>(stream->buffer_frames) * format_.block_align);
  if (Failed(hr = stream->render->ReleaseBuffer(stream->buffer_frames, 0))) {
    AudioLibLog("error on line %d, hr = 0x%x \n", __LINE__, HrBits(hr));
    return false;
  }
  stream->duration = rate_ > 0 ? 10000000LL * stream->buffer_frames / rate_ : 0;
  if (Failed(hr = client->Start())) {
    AudioLibLog("error on line %d, hr = 0x%x \n", __LINE__, HrBits(hr));
    return false;
  }
  played_bytes_ = 0;
  Core().render_ring().Clear();
  AudioLibLog("WASPlayback::PlayProc loop start.\n");
  return true;
}

// Until stop or a lost device; true when the device is to be reopened.
bool WASPlayback::RunRenderLoop(RenderStream* stream) {
  int timeouts = 0;
  while (!stop_) {
    const PlatformEvent::WaitResult wait = layer_->WaitForEvent(&stream->event, 1000);
    if (wait == PlatformEvent::kSignalled) {
      timeouts = 0;
      RenderFreeSpace(stream->client.get(), stream->render.get(), stream->buffer_frames);
      continue;
    }
    if (wait == PlatformEvent::kTimeout) {
      ++timeouts;
      AudioLibLog("Unexpected, WaitForSingleObject time out, count %d.\n", timeouts);
      if (timeouts > 2 && !stop_) return true;
    }
  }
  AudioLibLog("WASPlayback::PlayProc loop end.\n");
  layer_->Sleep(static_cast<uint32_t>(stream->duration / 10000 / 2), nullptr);
  const HResult hr = stream->client->Stop();
  if (Failed(hr)) AudioLibLog("error on line %d, hr = 0x%x \n", __LINE__, HrBits(hr));
  return false;
}

// Steps of at most 20 ms, each one pull through the core, while 10 ms or more are free: one
// step a wake-up in the steady state; after a late wake-up the whole free space, so that a
// device that has nearly run dry gets again what the ring holds.
void WASPlayback::RenderFreeSpace(AudioClient* client, RenderClient* render, uint32_t buffer_frames) {
  const uint32_t most = static_cast<uint32_t>(rate_ / 50);
  const uint32_t least = static_cast<uint32_t>(rate_ / 100);
  for (uint32_t written = 0; written < buffer_frames;) {
    uint32_t padding = 0;
    HResult hr = client->GetCurrentPadding(&padding);
    if (Failed(hr)) {
      AudioLibLog("Unexpected, spAudioClient->GetCurrentPadding failed, lost device control. hr = 0x%x\n", HrBits(hr));
      return;
    }
    uint32_t frames = padding < buffer_frames ? buffer_frames - padding : 0;
    if (frames > most) frames = most;
    if (frames < least || frames == 0) return;
    uint8_t* data = nullptr;
    hr = render->GetBuffer(frames, &data);
    if (Failed(hr)) {
      AudioLibLog("Unexpected, spRenderClient->GetBuffer failed, lost device control. hr = 0x%x\n", HrBits(hr));
      return;
    }
    FillBuffer(data, static_cast<int>(frames) * format_.block_align, rate_);
    written += frames;
    hr = render->ReleaseBuffer(frames, 0);
    if (Failed(hr)) {
      AudioLibLog("Unexpected, spRenderClient->ReleaseBuffer failed, lost device control. hr = 0x%x\n", HrBits(hr));
      return;
    }
  }
}

void WASPlayback::StartRestartThread() {
  restart_.Schedule([this] {
    if (stop_) {
      ResetDevice(device_guid_);
    } else {
      AudioLibLog("%s, play is started, return.\n", "WASPlayback::RestartPlayThreadProc");
    }
  });
}
