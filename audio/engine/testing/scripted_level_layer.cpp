#include "testing/scripted_level_layer.h"

#include <algorithm>

const Guid kKsNodeTypeVolumeForTests = {0x3A5ACC00, 0xC557, 0x11D0, {0x8A, 0x2B, 0x00, 0xA0, 0xC9, 0x25, 0x5A, 0xC1}};

namespace {

class ScriptedVolumeLevel : public VolumeLevel {
 public:
  ScriptedVolumeLevel(ScriptedLevelLayer* layer, std::shared_ptr<ScriptedPart> part) : layer_(layer), part_(part) {}
  HResult GetChannelCount(uint32_t* channels) override {
    *channels = part_->channels;
    return kS_OK;
  }
  HResult GetLevelRange(uint32_t channel, float* lo, float* hi, float* step) override {
    if (channel >= part_->channels) return kE_INVALIDARG;
    *lo = part_->min_db;
    *hi = part_->max_db;
    *step = part_->step_db;
    return kS_OK;
  }
  HResult GetLevel(uint32_t channel, float* db) override {
    std::lock_guard<std::recursive_mutex> lock(layer_->mutex);
    if (channel >= part_->channels) return kE_INVALIDARG;
    *db = part_->level_db;
    return kS_OK;
  }
  HResult SetLevelUniform(float db) override {
    std::lock_guard<std::recursive_mutex> lock(layer_->mutex);
    ++part_->sets;
    if (Failed(part_->set_result)) return part_->set_result;
    part_->level_db = db;
    return kS_OK;
  }

 private:
  ScriptedLevelLayer* layer_;
  std::shared_ptr<ScriptedPart> part_;
};

class ScriptedTopologyPart : public TopologyPart {
 public:
  ScriptedTopologyPart(ScriptedLevelLayer* layer, std::shared_ptr<ScriptedPart> part) : layer_(layer), part_(part) {}
  HResult GetName(std::wstring* name) override {
    *name = part_->name;
    return kS_OK;
  }
  HResult GetSubType(Guid* subtype) override {
    *subtype = part_->subtype;
    return kS_OK;
  }
  HResult ActivateVolumeLevel(std::unique_ptr<VolumeLevel>* level) override {
    if (!part_->has_level) return kE_NOINTERFACE;
    level->reset(new ScriptedVolumeLevel(layer_, part_));
    return kS_OK;
  }
  HResult EnumPartsOutgoing(std::vector<std::unique_ptr<TopologyPart>>* parts) override {
    if (part_->outgoing.empty()) return kE_NOTFOUND;
    parts->clear();
    for (const auto& p : part_->outgoing) parts->emplace_back(new ScriptedTopologyPart(layer_, p));
    return kS_OK;
  }

 private:
  ScriptedLevelLayer* layer_;
  std::shared_ptr<ScriptedPart> part_;
};

class ScriptedEndpointVolume : public EndpointVolume {
 public:
  ScriptedEndpointVolume(ScriptedLevelLayer* layer, ScriptedLevelEndpoint* e) : layer_(layer), e_(e) {}
  HResult GetMasterVolumeLevelScalar(float* level) override {
    std::lock_guard<std::recursive_mutex> lock(layer_->mutex);
    *level = e_->master;
    return kS_OK;
  }
  HResult SetMasterVolumeLevelScalar(float level, const Guid& context) override {
    std::lock_guard<std::recursive_mutex> lock(layer_->mutex);
    ++e_->master_sets;
    e_->last_context = context;
    if (Failed(e_->set_master_result)) return e_->set_master_result;
    e_->master = level;
    return kS_OK;
  }
  HResult GetMute(bool* muted) override {
    std::lock_guard<std::recursive_mutex> lock(layer_->mutex);
    *muted = e_->muted;
    return kS_OK;
  }
  HResult RegisterControlChangeNotify(EndpointVolumeSink* sink) override {
    std::lock_guard<std::recursive_mutex> lock(layer_->mutex);
    e_->sink = sink;
    return kS_OK;
  }
  HResult UnregisterControlChangeNotify(EndpointVolumeSink* sink) override {
    std::lock_guard<std::recursive_mutex> lock(layer_->mutex);
    if (e_->sink == sink) e_->sink = nullptr;
    return kS_OK;
  }

 private:
  ScriptedLevelLayer* layer_;
  ScriptedLevelEndpoint* e_;
};

// Only what the rate probe asks of an audio client.
class ScriptedProbeClient : public AudioClient {
 public:
  explicit ScriptedProbeClient(ScriptedLevelEndpoint* e) : e_(e) {}
  HResult GetMixFormat(WaveFormat* format) override {
    *format = WaveFormat{};
    format->format_tag = kWaveFormatPcm;
    format->channels = 2;
    format->samples_per_sec = 48000;
    format->bits_per_sample = 16;
    format->block_align = 4;
    format->avg_bytes_per_sec = 192000;
    return kS_OK;
  }
  HResult IsFormatSupported(bool exclusive, const WaveFormat& f) override {
    if (!exclusive) return kS_OK;
    return e_->exclusive_rates.count(static_cast<int>(f.samples_per_sec)) && f.bits_per_sample == 16
               ? kS_OK
               : kAUDCLNT_E_UNSUPPORTED_FORMAT;
  }
  HResult GetDevicePeriod(int64_t*, int64_t*) override { return kE_NOTIMPL; }
  HResult Initialize(bool, int64_t, int64_t, const WaveFormat&) override { return kE_NOTIMPL; }
  HResult GetBufferSize(uint32_t*) override { return kE_NOTIMPL; }
  HResult SetEventHandle(PlatformEvent*) override { return kE_NOTIMPL; }
  HResult Start() override { return kE_NOTIMPL; }
  HResult Stop() override { return kE_NOTIMPL; }
  HResult GetCurrentPadding(uint32_t*) override { return kE_NOTIMPL; }
  HResult GetCaptureClient(std::unique_ptr<CaptureClient>*) override { return kE_NOTIMPL; }
  HResult GetRenderClient(std::unique_ptr<RenderClient>*) override { return kE_NOTIMPL; }
  HResult GetSessionVolume(std::unique_ptr<SessionVolume>*) override { return kE_NOTIMPL; }

 private:
  ScriptedLevelEndpoint* e_;
};

class ScriptedLevelEndpointHandle : public LevelEndpoint {
 public:
  ScriptedLevelEndpointHandle(ScriptedLevelLayer* layer, ScriptedLevelEndpoint* e) : layer_(layer), e_(e) {}
  HResult GetId(std::wstring* id) override {
    *id = L"{0.0.1.00000000}." + e_->guid_text;
    return kS_OK;
  }
  HResult ActivateEndpointVolume(std::unique_ptr<EndpointVolume>* volume) override {
    volume->reset(new ScriptedEndpointVolume(layer_, e_));
    return kS_OK;
  }
  HResult ActivateAudioClient(std::unique_ptr<AudioClient>* client) override {
    client->reset(new ScriptedProbeClient(e_));
    return kS_OK;
  }
  HResult GetConnectedPart(std::unique_ptr<TopologyPart>* part) override {
    if (!e_->topology) return kE_NOINTERFACE;
    part->reset(new ScriptedTopologyPart(layer_, e_->topology));
    return kS_OK;
  }

 private:
  ScriptedLevelLayer* layer_;
  ScriptedLevelEndpoint* e_;
};

ScriptedMixerControl* FindControl(ScriptedMixer* m, uint32_t id) {
  auto it = m->controls.find(id);
  return it == m->controls.end() ? nullptr : &it->second;
}

class ScriptedMixerHandle : public Mixer {
 public:
  ScriptedMixerHandle(ScriptedLevelLayer* layer, int index) : layer_(layer), index_(index) {}
  ~ScriptedMixerHandle() override {
    std::lock_guard<std::recursive_mutex> lock(layer_->mutex);
    mixer().open = false;
    mixer().window = nullptr;
  }
  HResult GetDestinationLine(uint32_t type, MixerLineInfo* line) override {
    if (mixer().destination.info.component_type != type) return kE_FAIL;
    *line = mixer().destination.info;
    return kS_OK;
  }
  HResult GetSourceLine(const MixerLineInfo&, uint32_t index, MixerLineInfo* line) override {
    if (index >= mixer().sources.size()) return kE_FAIL;
    *line = mixer().sources[index].info;
    return kS_OK;
  }
  HResult GetControlByType(uint32_t line_id, uint32_t type, MixerControlInfo* control) override {
    const ScriptedMixerLine* line = Line(line_id);
    if (!line) return kE_FAIL;
    for (uint32_t id : line->control_ids) {
      const ScriptedMixerControl* c = FindControl(&mixer(), id);
      if (c && c->info.type == type) {
        *control = c->info;
        return kS_OK;
      }
    }
    return kE_FAIL;
  }
  HResult GetAllControls(const MixerLineInfo& info, std::vector<MixerControlInfo>* controls) override {
    const ScriptedMixerLine* line = Line(info.line_id);
    if (!line) return kE_FAIL;
    controls->clear();
    for (uint32_t id : line->control_ids) controls->push_back(FindControl(&mixer(), id)->info);
    return kS_OK;
  }
  HResult GetValues(const MixerControlInfo& info, uint32_t channels, std::vector<int32_t>* values) override {
    std::lock_guard<std::recursive_mutex> lock(layer_->mutex);
    ScriptedMixerControl* c = FindControl(&mixer(), info.id);
    if (!c) return kE_FAIL;
    const size_t n = channels * std::max<uint32_t>(1, info.items);
    *values = c->values;
    values->resize(n, c->values.empty() ? 0 : c->values[0]);
    return kS_OK;
  }
  HResult SetValues(const MixerControlInfo& info, uint32_t, const std::vector<int32_t>& values) override {
    std::lock_guard<std::recursive_mutex> lock(layer_->mutex);
    ScriptedMixerControl* c = FindControl(&mixer(), info.id);
    if (!c) return kE_FAIL;
    c->values = values;
    ++c->writes;
    return kS_OK;
  }
  HResult GetItemTexts(const MixerControlInfo& info, uint32_t, std::vector<std::wstring>* texts) override {
    ScriptedMixerControl* c = FindControl(&mixer(), info.id);
    if (!c) return kE_FAIL;
    *texts = c->texts;
    return kS_OK;
  }

 private:
  ScriptedMixer& mixer() { return layer_->mixers()[index_]; }
  const ScriptedMixerLine* Line(uint32_t id) {
    if (mixer().destination.info.line_id == id) return &mixer().destination;
    for (const ScriptedMixerLine& l : mixer().sources) {
      if (l.info.line_id == id) return &l;
    }
    return nullptr;
  }
  ScriptedLevelLayer* layer_;
  int index_;
};

}  // namespace

class ScriptedNotifyWindow : public MixerNotifyWindow {
 public:
  explicit ScriptedNotifyWindow(ScriptedLevelLayer* layer) : layer_(layer) { ++layer_->windows_; }
  ~ScriptedNotifyWindow() override { --layer_->windows_; }
  void* handle() const override { return const_cast<ScriptedNotifyWindow*>(this); }
  void set_sink(MixerWindowSink* sink) override { sink_ = sink; }
  MixerWindowSink* sink() const { return sink_; }

 private:
  ScriptedLevelLayer* layer_;
  MixerWindowSink* sink_ = nullptr;
};

ScriptedLevelLayer::ScriptedLevelLayer() = default;
ScriptedLevelLayer::~ScriptedLevelLayer() = default;

ScriptedLevelEndpoint& ScriptedLevelLayer::AddEndpoint(const std::wstring& guid_text, const std::wstring& name) {
  endpoints_.emplace_back(new ScriptedLevelEndpoint);
  endpoints_.back()->guid_text = guid_text;
  endpoints_.back()->name = name;
  return *endpoints_.back();
}

ScriptedLevelEndpoint& ScriptedLevelLayer::PlugEndpointFirst(const std::wstring& guid_text, const std::wstring& name) {
  endpoints_.emplace(endpoints_.begin(), new ScriptedLevelEndpoint);
  endpoints_.front()->guid_text = guid_text;
  endpoints_.front()->name = name;
  return *endpoints_.front();
}

ScriptedLevelEndpoint& ScriptedLevelLayer::endpoint(const std::wstring& guid_text) {
  for (auto& e : endpoints_) {
    if (e->guid_text == guid_text) return *e;
  }
  return AddEndpoint(guid_text, L"");
}

void ScriptedLevelLayer::NotifyVolume(const std::wstring& guid_text, bool muted, float master) {
  EndpointVolumeSink* sink = nullptr;
  {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    ScriptedLevelEndpoint& e = endpoint(guid_text);
    e.muted = muted;
    e.master = master;
    sink = e.sink;
  }
  if (sink) sink->OnNotify(VolumeNotification{Guid{}, muted, master});
}

void ScriptedLevelLayer::SetDirectSound(DeviceKind kind, const std::vector<DirectSoundDevice>& devices) {
  dsound_[static_cast<int>(kind)] = devices;
}

void ScriptedLevelLayer::SetDefaultVoice(DeviceKind kind, const Guid& id) {
  has_default_voice_[static_cast<int>(kind)] = true;
  default_voice_[static_cast<int>(kind)] = id;
}

ScriptedMixer& ScriptedLevelLayer::AddMixer(const std::wstring& name) {
  mixers_.emplace_back();
  mixers_.back().name = name;
  return mixers_.back();
}

void ScriptedLevelLayer::NotifyMixerControl(int mixer, uint32_t control_id) {
  auto* window = static_cast<ScriptedNotifyWindow*>(mixers_[mixer].window);
  if (window && window->sink()) window->sink()->OnControlChange(control_id);
}

bool ScriptedLevelLayer::GetSystemVersion(int* major, int* minor) {
  *major = major_;
  *minor = minor_;
  return major_ > 0;
}

HResult ScriptedLevelLayer::EnumCaptureEndpoints(std::vector<EndpointInfo>* endpoints) {
  endpoints->clear();
  for (const auto& e : endpoints_) endpoints->push_back(EndpointInfo{e->guid_text, e->name});
  return kS_OK;
}

HResult ScriptedLevelLayer::OpenCaptureEndpoint(const std::wstring& id, std::unique_ptr<LevelEndpoint>* endpoint) {
  std::function<void()> change;
  change.swap(on_next_open_);
  if (change) change();
  for (const auto& e : endpoints_) {
    if (SameDeviceId(e->guid_text, id)) {
      endpoint->reset(new ScriptedLevelEndpointHandle(this, e.get()));
      return kS_OK;
    }
  }
  return kE_NOTFOUND;
}

HResult ScriptedLevelLayer::RegisterDeviceNotifications(DeviceNotificationSink* sink) {
  notification_sinks_.insert(sink);
  return kS_OK;
}

HResult ScriptedLevelLayer::UnregisterDeviceNotifications(DeviceNotificationSink* sink) {
  notification_sinks_.erase(sink);
  return kS_OK;
}

HResult ScriptedLevelLayer::EnumDirectSound(DeviceKind kind, std::vector<DirectSoundDevice>* devices) {
  *devices = dsound_[static_cast<int>(kind)];
  return kS_OK;
}

HResult ScriptedLevelLayer::GetDefaultVoiceDevice(DeviceKind kind, Guid* id) {
  if (!has_default_voice_[static_cast<int>(kind)]) return kE_FAIL;
  *id = default_voice_[static_cast<int>(kind)];
  return kS_OK;
}

HResult ScriptedLevelLayer::FindConnectedBluetoothDevices(std::vector<std::wstring>* names) {
  ++bluetooth_searches_;
  *names = bluetooth_;
  return kS_OK;
}

HResult ScriptedLevelLayer::GetMixerName(int index, std::wstring* name) {
  if (index < 0 || index >= MixerCount()) return kE_FAIL;
  *name = mixers_[index].name;
  return kS_OK;
}

HResult ScriptedLevelLayer::OpenMixer(int index, MixerNotifyWindow* window, std::unique_ptr<Mixer>* mixer) {
  if (index < 0 || index >= MixerCount()) return kE_FAIL;
  mixers_[index].open = true;
  mixers_[index].window = window;
  mixer->reset(new ScriptedMixerHandle(this, index));
  return kS_OK;
}

HResult ScriptedLevelLayer::CreateNotifyWindow(std::unique_ptr<MixerNotifyWindow>* window) {
  window->reset(new ScriptedNotifyWindow(this));
  return kS_OK;
}
