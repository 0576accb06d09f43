#include "quietwell_engine.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "framework_log.h"
#include "mix_tap.h"
#include "sink_list.h"
#include "text_convert.h"

namespace tessarine {
namespace {

// The devices of the running engine, reached from Quietwell's callbacks (which carry no
// context). They live as long as the library.
SinkList<AudioEngineClient>& Capturers() {
  static SinkList<AudioEngineClient> list;
  return list;
}
SinkList<AudioEngineClient>& Players() {
  static SinkList<AudioEngineClient> list;
  return list;
}

void __cdecl OnCapture(const short* pcm, int bytes, int sample_rate) {
  if (pcm == nullptr || bytes <= 0 || bytes % 2 != 0 || sample_rate != kEngineSampleRate) return;
  const size_t samples = static_cast<size_t>(bytes) / 2;
  Capturers().ForEach([&](AudioEngineClient* client, void*) {
    client->OnEngineCapture(reinterpret_cast<const int16_t*>(pcm), samples);
  });
}

void __cdecl OnRender(short* buffer, int* bytes, void* /*info*/) {
  if (buffer == nullptr || bytes == nullptr) return;
  constexpr int kRoom = 3840;  // the buffer's size
  int wanted = *bytes;
  if (wanted <= 0 || wanted > kRoom || wanted % 2 != 0) wanted = static_cast<int>(kEngineFrameSamples * 2);
  const size_t samples = static_cast<size_t>(wanted) / 2;
  std::vector<int32_t> sum(samples, 0);
  std::vector<int16_t> part(samples);
  Players().ForEach([&](AudioEngineClient* client, void*) {
    std::fill(part.begin(), part.end(), 0);
    client->OnEngineRender(part.data(), samples);
    for (size_t i = 0; i < samples; ++i) sum[i] += part[i];
  });
  for (size_t i = 0; i < samples; ++i) buffer[i] = AddSaturated(sum[i], 0);
  *bytes = wanted;
}

void __cdecl OnLog(const char* format, va_list args) {
  if (format == nullptr) return;
  // Quietwell's formats follow the Windows C library (%ws for wide text): format with it.
  char line[1024];
  _vsnprintf(line, sizeof(line) - 1, format, args);
  line[sizeof(line) - 1] = '\0';
  FW_LOG("Quietwell: %s", line);
}

}  // namespace

namespace {

// Making and destroying the engine are serialised, so that a new engine never opens
// Quietwell while the last one is still closing it.
std::mutex& LifeMutex() {
  static std::mutex mutex;
  return mutex;
}

}  // namespace

std::shared_ptr<QuietwellEngine> QuietwellEngine::Acquire() {
  static std::weak_ptr<QuietwellEngine> current;
  std::lock_guard<std::mutex> lock(LifeMutex());
  std::shared_ptr<QuietwellEngine> engine = current.lock();
  if (!engine) {
    engine.reset(new QuietwellEngine(), [](QuietwellEngine* e) {
      std::lock_guard<std::mutex> life(LifeMutex());
      delete e;
    });
    engine->Reload();
    current = engine;
  }
  return engine;
}

QuietwellEngine::QuietwellEngine() : thread_(new SerialExecutor()) {}

QuietwellEngine::~QuietwellEngine() {
  thread_->Run([&] {
    if (!library_) return;
    const QuietwellExports& api = library_->api();
    if (running_) api.PauseRealAudioEngine();
    api.CloseRealAudioEngine();
    api.RealAudioSetLogCallback(nullptr);
    FW_LOG("audio engine closed");
  });
  thread_.reset();  // the thread ends while the library is still loaded
  Capturers().Clear();
  Players().Clear();
  library_.reset();
}

bool QuietwellEngine::Reload() {
  bool loaded = false;
  thread_->Run([&] {
    if (!library_) OpenOnThread();
    loaded = library_ != nullptr;
  });
  return loaded;
}

bool QuietwellEngine::loaded() {
  bool loaded = false;
  thread_->Run([&] { loaded = library_ != nullptr; });
  return loaded;
}

void QuietwellEngine::OpenOnThread() {
  std::string report;
  library_ = QuietwellLibrary::Load(QuietwellSearchDirectories(), &report);
  if (!library_) {
    FW_LOG("audio engine %s not available: %s; no audio devices", WideToUtf8(kQuietwellFileName).c_str(),
           report.c_str());
    return;
  }
  const QuietwellExports& api = library_->api();
  api.RealAudioSetLogCallback(&OnLog);
  api.OpenRealAudioEngine(&OnCapture, &OnRender);
  running_ = false;
  capture_device_ = -1;
  play_device_ = -1;
  FW_LOG("audio engine opened from %s", WideToUtf8(library_->path()).c_str());
}

int32_t QuietwellEngine::CaptureDeviceCount() {
  int32_t count = 0;
  thread_->Run([&] {
    if (library_) count = std::max(0, library_->api().RealAudioGetCaptureDevsCount());
  });
  return count;
}

int32_t QuietwellEngine::PlayDeviceCount() {
  int32_t count = 0;
  thread_->Run([&] {
    if (library_) count = std::max(0, library_->api().RealAudioGetPlayoutDevsCount());
  });
  return count;
}

bool QuietwellEngine::NameOnThread(bool capture, int32_t index, std::wstring* name) {
  if (!library_) return false;
  const QuietwellExports& api = library_->api();
  const int count = capture ? api.RealAudioGetCaptureDevsCount() : api.RealAudioGetPlayoutDevsCount();
  if (index < 0 || index >= count) return false;  // Quietwell would clamp: refuse instead
  // The name arrives in the ANSI code page; the buffer holds any endpoint name.
  std::vector<char> text(4096, '\0');
  const int result = capture ? api.RealAudioGetCaptureDevsName(index, text.data())
                             : api.RealAudioGetPlayoutDevsName(index, text.data());
  if (result < 0) return false;
  text.back() = '\0';
  *name = AnsiToWide(text.data());
  return true;
}

bool QuietwellEngine::CaptureDeviceName(int32_t index, std::wstring* name) {
  bool ok = false;
  thread_->Run([&] { ok = NameOnThread(true, index, name); });
  return ok;
}

bool QuietwellEngine::PlayDeviceName(int32_t index, std::wstring* name) {
  bool ok = false;
  thread_->Run([&] { ok = NameOnThread(false, index, name); });
  return ok;
}

HRESULT QuietwellEngine::StartOnThread(bool capture, AudioEngineClient* client, int32_t index) {
  // Without the library there are no devices, so no index is valid.
  if (!library_) return E_INVALIDARG;
  const QuietwellExports& api = library_->api();
  const int count = capture ? api.RealAudioGetCaptureDevsCount() : api.RealAudioGetPlayoutDevsCount();
  if (index < 0 || index >= count) return E_INVALIDARG;
  if (!running_) {
    api.ResetRealAudioEngine();
    running_ = true;
  }
  int32_t& device = capture ? capture_device_ : play_device_;
  if (index != device) {
    const int result = capture ? api.RealAudioSetCaptureDevID(index) : api.RealAudioSetPlayoutDevID(index);
    if (result < 0) {
      PauseIfIdleOnThread();
      return E_FAIL;
    }
    device = index;
  }
  (capture ? Capturers() : Players()).Add(client, nullptr);
  return S_OK;
}

HRESULT QuietwellEngine::StartCapture(AudioEngineClient* client, int32_t index) {
  HRESULT hr = S_OK;
  thread_->Run([&] { hr = StartOnThread(true, client, index); });
  return hr;
}

HRESULT QuietwellEngine::StartPlay(AudioEngineClient* client, int32_t index) {
  HRESULT hr = S_OK;
  thread_->Run([&] { hr = StartOnThread(false, client, index); });
  return hr;
}

void QuietwellEngine::PauseIfIdleOnThread() {
  if (library_ && running_ && Capturers().empty() && Players().empty()) {
    library_->api().PauseRealAudioEngine();
    running_ = false;
  }
}

void QuietwellEngine::StopCapture(AudioEngineClient* client) {
  // Removed first, outside the engine's thread: waits for a frame being delivered.
  Capturers().Remove(client);
  thread_->Run([&] { PauseIfIdleOnThread(); });
}

void QuietwellEngine::StopPlay(AudioEngineClient* client) {
  Players().Remove(client);
  thread_->Run([&] { PauseIfIdleOnThread(); });
}

bool QuietwellEngine::PlayVolume(int32_t* volume) {
  bool ok = false;
  thread_->Run([&] {
    if (!library_) return;
    *volume = library_->api().RealAudioGetPlayoutVolume();
    ok = true;
  });
  return ok;
}

bool QuietwellEngine::SetPlayVolume(int32_t volume) {
  bool ok = false;
  thread_->Run([&] {
    if (!library_) return;
    library_->api().RealAudioSetPlayoutVolume(volume);
    ok = true;
  });
  return ok;
}

bool QuietwellEngine::CaptureVolume(int32_t* volume) {
  bool ok = false;
  thread_->Run([&] {
    if (!library_) return;
    *volume = library_->api().RealAudioGetCaptureVolume();
    ok = true;
  });
  return ok;
}

bool QuietwellEngine::SetCaptureVolume(int32_t volume) {
  bool ok = false;
  thread_->Run([&] {
    if (!library_) return;
    library_->api().RealAudioSetCaptureVolume(volume);
    ok = true;
  });
  return ok;
}

void QuietwellEngine::SetProcessing(bool echo_cancel, bool noise_suppress) {
  thread_->Run([&] {
    if (library_) library_->api().SetRealAudioConfig(echo_cancel ? 1 : 0, noise_suppress ? 1 : 0);
  });
}

void QuietwellEngine::SetMicVolumeControl(bool on) {
  thread_->Run([&] {
    if (library_) library_->api().RealAudioSetMicVolumeControl(on ? 1 : 0);
  });
}

}  // namespace tessarine
