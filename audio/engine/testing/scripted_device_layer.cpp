#include "testing/scripted_device_layer.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>
#include <utility>

struct ScriptedDeviceLayer::Stream {
  std::shared_ptr<ScriptedEndpoint> endpoint;
  bool broken = false;
  bool initialized = false;
  bool started = false;
  WaveFormat format = {};
  uint32_t buffer_frames = 0;
  uint32_t padding = 0;
  int64_t frames_captured = 0;
  int pending_packets = 0;  // capture packets waiting to be read
  bool discontinuity = false;
  bool packet_held = false;  // a capture packet was handed out and not yet released
  std::vector<uint8_t> packet;
  bool first_render_buffer = true;
  PlatformEvent* event = nullptr;
};

namespace {

constexpr HResult kExclusiveNotAllowed = static_cast<HResult>(0x8889000Eu);
constexpr HResult kOutOfOrder = static_cast<HResult>(0x88890007u);  // AUDCLNT_E_OUT_OF_ORDER
constexpr uint32_t kBufferFlagDiscontinuity = 0x1;                  // AUDCLNT_BUFFERFLAGS_DATA_DISCONTINUITY

void WriteSample(uint8_t* p, const WaveFormat& f, double v) {
  v = std::max(-1.0, std::min(1.0, v));
  if (ClassifyFormat(f) == SampleType::kFloat) {
    const float s = static_cast<float>(v);
    std::memcpy(p, &s, 4);
    return;
  }
  const int32_t s = static_cast<int32_t>(std::lround(v * 32767.0));
  switch (f.bits_per_sample) {
    case 8:
      p[0] = static_cast<uint8_t>((s >> 8) + 128);
      break;
    case 16:
      p[0] = static_cast<uint8_t>(s);
      p[1] = static_cast<uint8_t>(s >> 8);
      break;
    case 24:
      p[0] = 0;
      p[1] = static_cast<uint8_t>(s);
      p[2] = static_cast<uint8_t>(s >> 8);
      break;
    default:
      p[0] = 0;
      p[1] = 0;
      p[2] = static_cast<uint8_t>(s);
      p[3] = static_cast<uint8_t>(s >> 8);
      break;
  }
}

int16_t ReadSample16(const uint8_t* p, const WaveFormat& f) {
  if (ClassifyFormat(f) == SampleType::kFloat) {
    float v;
    std::memcpy(&v, p, 4);
    return static_cast<int16_t>(std::max(-32768.0f, std::min(32767.0f, v * 32767.0f)));
  }
  int16_t v;
  std::memcpy(&v, p, 2);
  return v;
}

}  // namespace

class ScriptedCaptureClient : public CaptureClient {
 public:
  ScriptedCaptureClient(ScriptedDeviceLayer* layer, std::shared_ptr<ScriptedDeviceLayer::Stream> s)
      : layer_(layer), stream_(std::move(s)) {}

  HResult GetBuffer(uint8_t** data, uint32_t* frames, uint32_t* flags, uint64_t* position) override {
    std::lock_guard<std::mutex> lock(layer_->mutex_);
    ScriptedDeviceLayer::Stream& s = *stream_;
    *data = nullptr;
    *frames = 0;
    *flags = 0;
    *position = static_cast<uint64_t>(s.frames_captured);
    if (s.broken) return kAUDCLNT_E_DEVICE_INVALIDATED;
    if (s.packet_held) return kOutOfOrder;
    ScriptedEndpoint& e = *s.endpoint;
    if (s.pending_packets == 0) return kAUDCLNT_S_BUFFER_EMPTY;
    --s.pending_packets;
    s.packet_held = true;
    if (s.discontinuity) *flags |= kBufferFlagDiscontinuity;
    s.discontinuity = false;
    const uint32_t n = s.format.samples_per_sec / 100;
    s.packet.assign(static_cast<size_t>(n) * s.format.block_align, 0);
    const int width = s.format.bits_per_sample / 8;
    for (uint32_t i = 0; i < n; ++i) {
      for (int c = 0; c < s.format.channels; ++c) {
        const double v = e.source ? e.source(s.frames_captured + i, c) : 0.0;
        WriteSample(s.packet.data() + i * s.format.block_align + c * width, s.format, v);
      }
    }
    *data = s.packet.data();
    *frames = n;
    s.frames_captured += n;
    layer_->clock_ms_ += 10;
    return kS_OK;
  }

  // As Windows: a release pairs with the packet GetBuffer handed out; an empty answer is none.
  HResult ReleaseBuffer(uint32_t) override {
    std::lock_guard<std::mutex> lock(layer_->mutex_);
    if (!stream_->packet_held) return kOutOfOrder;
    stream_->packet_held = false;
    return kS_OK;
  }

 private:
  ScriptedDeviceLayer* layer_;
  std::shared_ptr<ScriptedDeviceLayer::Stream> stream_;
};

class ScriptedRenderClient : public RenderClient {
 public:
  ScriptedRenderClient(ScriptedDeviceLayer* layer, std::shared_ptr<ScriptedDeviceLayer::Stream> s)
      : layer_(layer), stream_(std::move(s)) {}

  HResult GetBuffer(uint32_t frames, uint8_t** data) override {
    std::lock_guard<std::mutex> lock(layer_->mutex_);
    ScriptedDeviceLayer::Stream& s = *stream_;
    if (s.broken) return kAUDCLNT_E_DEVICE_INVALIDATED;
    if (frames > s.buffer_frames - s.padding) return static_cast<HResult>(0x88890006u);  // too large
    if (!s.first_render_buffer) s.endpoint->render_requests.push_back(frames);
    s.packet.assign(static_cast<size_t>(frames) * s.format.block_align, 0xCD);
    *data = s.packet.data();
    return kS_OK;
  }

  HResult ReleaseBuffer(uint32_t frames, uint32_t flags) override {
    std::lock_guard<std::mutex> lock(layer_->mutex_);
    ScriptedDeviceLayer::Stream& s = *stream_;
    const int width = s.format.bits_per_sample / 8;
    if (!s.first_render_buffer) {
      for (uint32_t i = 0; i < frames; ++i) {
        for (int c = 0; c < s.format.channels; ++c) {
          const uint8_t* p = s.packet.data() + i * s.format.block_align + c * width;
          s.endpoint->rendered.push_back((flags & 0x2) ? 0 : ReadSample16(p, s.format));
        }
      }
    }
    s.first_render_buffer = false;
    s.padding += frames;
    return kS_OK;
  }

 private:
  ScriptedDeviceLayer* layer_;
  std::shared_ptr<ScriptedDeviceLayer::Stream> stream_;
};

class ScriptedSessionVolume : public SessionVolume {
 public:
  ScriptedSessionVolume(ScriptedDeviceLayer* layer, std::shared_ptr<ScriptedEndpoint> e)
      : layer_(layer), endpoint_(std::move(e)) {}
  HResult GetMasterVolume(float* level) override {
    std::lock_guard<std::mutex> lock(layer_->mutex_);
    *level = endpoint_->session_volume;
    return kS_OK;
  }
  HResult SetMasterVolume(float level) override {
    if (level < 0.0f || level > 1.0f) return kE_INVALIDARG;
    std::lock_guard<std::mutex> lock(layer_->mutex_);
    endpoint_->session_volume = level;
    return kS_OK;
  }

 private:
  ScriptedDeviceLayer* layer_;
  std::shared_ptr<ScriptedEndpoint> endpoint_;
};

class ScriptedAudioClient : public AudioClient {
 public:
  ScriptedAudioClient(ScriptedDeviceLayer* layer, std::shared_ptr<ScriptedEndpoint> e)
      : layer_(layer), stream_(std::make_shared<ScriptedDeviceLayer::Stream>()) {
    stream_->endpoint = std::move(e);
  }
  ~ScriptedAudioClient() override {
    std::lock_guard<std::mutex> lock(layer_->mutex_);
    if (stream_->event) layer_->streams_.erase(stream_->event);
  }

  HResult GetMixFormat(WaveFormat* format) override {
    std::lock_guard<std::mutex> lock(layer_->mutex_);
    *format = stream_->endpoint->mix;
    return kS_OK;
  }

  HResult IsFormatSupported(bool exclusive, const WaveFormat& f) override {
    std::lock_guard<std::mutex> lock(layer_->mutex_);
    const ScriptedEndpoint& e = *stream_->endpoint;
    if (exclusive) {
      if (!e.exclusive_allowed) return kExclusiveNotAllowed;
      return f.samples_per_sec == e.device_format.samples_per_sec ? kS_OK : kAUDCLNT_E_UNSUPPORTED_FORMAT;
    }
    if (f.channels != e.mix.channels) return kS_FALSE;
    return e.shared_rates.count(static_cast<int>(f.samples_per_sec)) ? kS_OK : kS_FALSE;
  }

  HResult GetDevicePeriod(int64_t* d, int64_t* m) override {
    std::lock_guard<std::mutex> lock(layer_->mutex_);
    *d = stream_->endpoint->default_period;
    *m = stream_->endpoint->minimum_period;
    return kS_OK;
  }

  HResult Initialize(bool exclusive, int64_t duration, int64_t, const WaveFormat& format) override {
    std::lock_guard<std::mutex> lock(layer_->mutex_);
    ScriptedEndpoint& e = *stream_->endpoint;
    if (stream_->initialized) return static_cast<HResult>(0x88890002u);  // already initialized
    stream_->buffer_frames =
        static_cast<uint32_t>(std::max<int64_t>(duration, e.default_period) * format.samples_per_sec / 10000000);
    if (!e.initialize_results.empty()) {
      const HResult hr = e.initialize_results.front();
      e.initialize_results.erase(e.initialize_results.begin());
      if (Failed(hr)) return hr;
    }
    stream_->initialized = true;
    stream_->format = format;
    e.last_buffer_duration = duration;
    e.last_exclusive = exclusive;
    e.last_format = format;
    return kS_OK;
  }

  HResult GetBufferSize(uint32_t* frames) override {
    std::lock_guard<std::mutex> lock(layer_->mutex_);
    *frames = stream_->buffer_frames;
    return kS_OK;
  }

  HResult SetEventHandle(PlatformEvent* event) override {
    std::lock_guard<std::mutex> lock(layer_->mutex_);
    if (!stream_->initialized) return kAUDCLNT_E_NOT_INITIALIZED;
    stream_->event = event;
    layer_->streams_[event] = stream_;
    return kS_OK;
  }

  HResult Start() override {
    std::lock_guard<std::mutex> lock(layer_->mutex_);
    if (!stream_->initialized) return kAUDCLNT_E_NOT_INITIALIZED;
    stream_->started = true;
    ++stream_->endpoint->streams_started;
    layer_->changed_.notify_all();
    return kS_OK;
  }

  HResult Stop() override {
    std::lock_guard<std::mutex> lock(layer_->mutex_);
    stream_->started = false;
    return kS_OK;
  }

  HResult GetCurrentPadding(uint32_t* frames) override {
    std::lock_guard<std::mutex> lock(layer_->mutex_);
    if (stream_->broken) return kAUDCLNT_E_DEVICE_INVALIDATED;
    *frames = stream_->padding;
    return kS_OK;
  }

  HResult GetCaptureClient(std::unique_ptr<CaptureClient>* client) override {
    if (stream_->endpoint->flow != EndpointFlow::kCapture || !stream_->initialized) return kE_NOINTERFACE;
    client->reset(new ScriptedCaptureClient(layer_, stream_));
    return kS_OK;
  }

  HResult GetRenderClient(std::unique_ptr<RenderClient>* client) override {
    if (stream_->endpoint->flow != EndpointFlow::kRender || !stream_->initialized) return kE_NOINTERFACE;
    client->reset(new ScriptedRenderClient(layer_, stream_));
    return kS_OK;
  }

  HResult GetSessionVolume(std::unique_ptr<SessionVolume>* volume) override {
    if (!stream_->initialized) return kAUDCLNT_E_NOT_INITIALIZED;
    volume->reset(new ScriptedSessionVolume(layer_, stream_->endpoint));
    return kS_OK;
  }

 private:
  ScriptedDeviceLayer* layer_;
  std::shared_ptr<ScriptedDeviceLayer::Stream> stream_;
};

class ScriptedEndpointHandle : public AudioEndpoint {
 public:
  ScriptedEndpointHandle(ScriptedDeviceLayer* layer, std::shared_ptr<ScriptedEndpoint> e)
      : layer_(layer), endpoint_(std::move(e)) {}

  HResult Activate(std::unique_ptr<AudioClient>* client) override {
    std::lock_guard<std::mutex> lock(layer_->mutex_);
    ++endpoint_->activations;
    client->reset(new ScriptedAudioClient(layer_, endpoint_));
    return kS_OK;
  }

  HResult GetDeviceFormat(WaveFormat* format) override {
    std::lock_guard<std::mutex> lock(layer_->mutex_);
    *format = endpoint_->device_format;
    return endpoint_->device_format_result;
  }

  HResult DisableSystemAgc() override {
    std::lock_guard<std::mutex> lock(layer_->mutex_);
    return endpoint_->agc_result;
  }

 private:
  ScriptedDeviceLayer* layer_;
  std::shared_ptr<ScriptedEndpoint> endpoint_;
};

ScriptedDeviceLayer::ScriptedDeviceLayer() = default;
ScriptedDeviceLayer::~ScriptedDeviceLayer() = default;

void ScriptedDeviceLayer::AddEndpoint(EndpointFlow flow, const std::wstring& id, const std::wstring& name, int rate,
                                      int channels) {
  auto e = std::make_shared<ScriptedEndpoint>();
  e->flow = flow;
  e->id = id;
  e->name = name;
  e->mix = FloatExtensibleFormat(rate, channels);
  e->device_format = Int16Format(rate, channels);
  e->shared_rates = {rate};
  std::lock_guard<std::mutex> lock(mutex_);
  endpoints_.push_back(e);
}

void ScriptedDeviceLayer::RemoveEndpoint(const std::wstring& id) {
  std::lock_guard<std::mutex> lock(mutex_);
  endpoints_.erase(std::remove_if(endpoints_.begin(), endpoints_.end(),
                                  [&](const std::shared_ptr<ScriptedEndpoint>& e) { return e->id == id; }),
                   endpoints_.end());
}

void ScriptedDeviceLayer::SetDefault(EndpointFlow flow, const std::wstring& id) {
  std::lock_guard<std::mutex> lock(mutex_);
  (flow == EndpointFlow::kCapture ? default_capture_ : default_render_) = id;
}

std::shared_ptr<ScriptedEndpoint> ScriptedDeviceLayer::Find(const std::wstring& id) {
  for (auto& e : endpoints_) {
    if (e->id == id) return e;
  }
  return nullptr;
}

void ScriptedDeviceLayer::Configure(const std::wstring& id, const std::function<void(ScriptedEndpoint&)>& change) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (auto e = Find(id)) change(*e);
  changed_.notify_all();
}

void ScriptedDeviceLayer::Inspect(const std::wstring& id, const std::function<void(const ScriptedEndpoint&)>& look) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (auto e = Find(id)) look(*e);
}

void ScriptedDeviceLayer::BreakStreams(const std::wstring& id) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto& entry : streams_) {
    if (entry.second->endpoint->id == id) entry.second->broken = true;
  }
  changed_.notify_all();
}

void ScriptedDeviceLayer::FailEnumeration(bool fail) {
  std::lock_guard<std::mutex> lock(mutex_);
  fail_enumeration_ = fail;
}

void ScriptedDeviceLayer::SetPlayoutDevices(const std::vector<DeviceRecord>& devices, HResult result) {
  std::lock_guard<std::mutex> lock(mutex_);
  custom_playout_ = true;
  playout_ = devices;
  playout_result_ = result;
}

int ScriptedDeviceLayer::open_streams() {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int>(streams_.size());
}

bool ScriptedDeviceLayer::InitializeThread() {
  ++com_balance_;
  std::lock_guard<std::mutex> lock(com_mutex_);
  ++thread_com_[std::this_thread::get_id()];
  return true;
}

void ScriptedDeviceLayer::UninitializeThread() {
  --com_balance_;
  std::lock_guard<std::mutex> lock(com_mutex_);
  --thread_com_[std::this_thread::get_id()];
}

int ScriptedDeviceLayer::thread_com_balance() {
  std::lock_guard<std::mutex> lock(com_mutex_);
  auto it = thread_com_.find(std::this_thread::get_id());
  return it == thread_com_.end() ? 0 : it->second;
}

bool ScriptedDeviceLayer::every_thread_balanced() {
  std::lock_guard<std::mutex> lock(com_mutex_);
  for (const auto& entry : thread_com_) {
    if (entry.second != 0) return false;
  }
  return true;
}

HResult ScriptedDeviceLayer::EnumEndpoints(EndpointFlow flow, std::vector<EndpointInfo>* endpoints) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (fail_enumeration_) return kE_FAIL;
  endpoints->clear();
  for (auto& e : endpoints_) {
    if (e->flow == flow) endpoints->push_back({e->id, e->name});
  }
  return kS_OK;
}

HResult ScriptedDeviceLayer::GetDefaultEndpointId(EndpointFlow flow, std::wstring* id) {
  std::lock_guard<std::mutex> lock(mutex_);
  const std::wstring& d = flow == EndpointFlow::kCapture ? default_capture_ : default_render_;
  if (d.empty() || !Find(d)) return static_cast<HResult>(0x80070490u);  // E_NOTFOUND
  *id = d;
  return kS_OK;
}

void ScriptedDeviceLayer::OnNextOpen(std::function<void()> change) {
  std::lock_guard<std::mutex> lock(mutex_);
  on_next_open_ = std::move(change);
}

HResult ScriptedDeviceLayer::OpenEndpoint(EndpointFlow flow, const std::wstring& id,
                                          std::unique_ptr<AudioEndpoint>* endpoint) {
  std::function<void()> change;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    change.swap(on_next_open_);
  }
  if (change) change();
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto& e : endpoints_) {
    if (e->flow == flow && SameDeviceId(e->id, id)) {
      endpoint->reset(new ScriptedEndpointHandle(this, e));
      return kS_OK;
    }
  }
  return kE_NOTFOUND;
}

HResult ScriptedDeviceLayer::EnumPlayoutDevices(std::vector<DeviceRecord>* devices) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (custom_playout_) {
    if (Succeeded(playout_result_)) *devices = playout_;
    return playout_result_;
  }
  devices->clear();
  for (auto& e : endpoints_) {
    if (e->flow != EndpointFlow::kRender) continue;
    DeviceRecord r;
    ParseGuidText(e->id, &r.id);
    r.name = e->name;
    devices->push_back(r);
  }
  return kS_OK;
}

void ScriptedDeviceLayer::ArrivePackets(Stream* s) {
  ScriptedEndpoint& e = *s->endpoint;
  const uint32_t packet = s->format.samples_per_sec / 100;
  const int capacity = std::max<int>(1, static_cast<int>(s->buffer_frames / (packet ? packet : 1)));
  for (int i = 0; i < e.packets_per_wake && e.packets_available != 0; ++i) {
    if (e.packets_available > 0) --e.packets_available;
    if (s->pending_packets == capacity) {
      s->frames_captured += packet;  // the oldest is overwritten
      ++e.packets_dropped;
      s->discontinuity = true;
    } else {
      ++s->pending_packets;
    }
  }
}

PlatformEvent::WaitResult ScriptedDeviceLayer::WaitForEvent(PlatformEvent* event, uint32_t timeout_ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  auto it = streams_.find(event);
  if (it == streams_.end()) {
    lock.unlock();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return PlatformEvent::kFailed;
  }
  std::shared_ptr<Stream> s = it->second;
  const bool gone = std::find(endpoints_.begin(), endpoints_.end(), s->endpoint) == endpoints_.end();
  if (s->broken || gone) {
    clock_ms_ += timeout_ms;
    lock.unlock();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return PlatformEvent::kTimeout;
  }
  auto ready = [&] { return s->started && s->endpoint->packets_available != 0; };
  if (!ready()) changed_.wait_for(lock, std::chrono::milliseconds(2), ready);
  if (!ready() || s->broken) return PlatformEvent::kFailed;
  if (s->endpoint->flow == EndpointFlow::kRender) {
    ScriptedEndpoint& e = *s->endpoint;
    if (e.packets_available > 0) --e.packets_available;
    const uint32_t period = static_cast<uint32_t>(e.default_period * s->format.samples_per_sec / 10000000);
    const uint32_t played = std::min(s->padding, e.consume_per_wake ? e.consume_per_wake : period);
    s->padding -= played;
    clock_ms_ += 10;
  } else {
    ArrivePackets(s.get());
  }
  return PlatformEvent::kSignalled;
}

bool ScriptedDeviceLayer::Sleep(uint32_t ms, PlatformEvent* wake) {
  clock_ms_ += ms;
  std::this_thread::yield();
  return wake && wake->Wait(0) == PlatformEvent::kSignalled;
}

bool ScriptedDeviceLayer::RegisterProAudioThread(void** task) {
  *task = nullptr;
  return false;
}

void ScriptedDeviceLayer::RevertProAudioThread(void*) {}
