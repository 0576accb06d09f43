// Audio device component, driven by the process's audio engine (Quietwell.dll, see
// quietwell_engine.h). It captures from a microphone of the engine or from an audio
// plug-in, plays the sum of its playback streams, and hands its PCM (the engine's 48 kHz
// mono 16-bit frames) to the processed-capture, play and mix sinks on the audio threads.
// The microphone and speaker switches and the energies are the device's own. What it
// captures for sending goes to the media network through IAudioSourcePort.
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "audio_capture_list.h"
#include "audio_level_meter.h"
#include "audio_source_port.h"
#include "audio_stream_mixer.h"
#include "avcore/ids.h"
#include "com_object.h"
#include "components.h"
#include "framework_log.h"
#include "mix_tap.h"
#include "plugin_registry.h"
#include "quietwell_engine.h"
#include "remote_audio_packet.h"
#include "sink_list.h"
#include "text_convert.h"
#include "voice_stream_receiver.h"

namespace tessarine {
namespace {

constexpr int32_t kVolumeMax = 100;

WAVEFORMATEX WorkingFormat() {
  WAVEFORMATEX f{};
  f.wFormatTag = WAVE_FORMAT_PCM;
  f.nChannels = 1;
  f.nSamplesPerSec = kEngineSampleRate;
  f.wBitsPerSample = 16;
  f.nBlockAlign = 2;
  f.nAvgBytesPerSec = kEngineSampleRate * 2;
  f.cbSize = 0;
  return f;
}

void FillLevels(const AudioLevels& levels, int32_t* current, int32_t* peak, int32_t* average) {
  if (current) *current = levels.current;
  if (peak) *peak = levels.peak;
  if (average) *average = levels.average;
}

class AudioDevice final : public ComObject<avcore::IAudioDevice, IAudioSourcePort>,
                          private AudioEngineClient,
                          private PluginBlockReceiver {
 public:
  AudioDevice() : ComObject(avcore::IID_IAudioDevice, IID_IAudioSourcePort), engine_(QuietwellEngine::Acquire()) {}

  ~AudioDevice() override {
    StopCapture();
    StopPlay();
    send_.Clear();
  }

  HRESULT AVCORE_CALL Open() override { return engine_->Reload() ? S_OK : S_FALSE; }

  HRESULT AVCORE_CALL Close() override {
    StopCapture();
    StopPlay();
    return S_OK;
  }

  HRESULT AVCORE_CALL StartCapture(int32_t deviceIndex) override {
    CaptureTarget target;
    if (!ResolveCaptureDevice(*engine_, deviceIndex, &target)) {
      FW_LOG("audio device %p: no capture device %d", static_cast<void*>(this), deviceIndex);
      return E_INVALIDARG;
    }
    std::lock_guard<std::mutex> lock(control_);
    if (target.plugin) {
      engine_->StopCapture(this);
      if (plugin_token_ != target.plugin_token) {
        DetachPluginLocked();
        GlobalPluginRegistry().Attach(target.plugin_token, this);
        plugin_token_ = target.plugin_token;
      }
    } else {
      DetachPluginLocked();
      const HRESULT hr = engine_->StartCapture(this, target.engine_index);
      if (FAILED(hr)) {
        FW_LOG("audio device %p: capture on %d failed 0x%08lx", static_cast<void*>(this), deviceIndex,
               static_cast<unsigned long>(hr));
        engine_->StopCapture(this);
        capture_index_ = -1;
        return hr;
      }
    }
    capture_index_ = deviceIndex;
    FW_LOG("audio device %p: capturing from %d", static_cast<void*>(this), deviceIndex);
    return S_OK;
  }

  HRESULT AVCORE_CALL StopCapture() override {
    std::lock_guard<std::mutex> lock(control_);
    engine_->StopCapture(this);
    DetachPluginLocked();
    capture_index_ = -1;
    return S_OK;
  }

  HRESULT AVCORE_CALL StartPlay(int32_t deviceIndex) override {
    std::lock_guard<std::mutex> lock(control_);
    const HRESULT hr = engine_->StartPlay(this, deviceIndex);
    if (FAILED(hr)) {
      FW_LOG("audio device %p: playback on %d failed 0x%08lx", static_cast<void*>(this), deviceIndex,
             static_cast<unsigned long>(hr));
      return hr;
    }
    playing_ = true;
    play_index_ = deviceIndex;
    FW_LOG("audio device %p: playing on %d", static_cast<void*>(this), deviceIndex);
    return S_OK;
  }

  HRESULT AVCORE_CALL StopPlay() override {
    std::lock_guard<std::mutex> lock(control_);
    engine_->StopPlay(this);
    playing_ = false;
    play_index_ = -1;
    mix_tap_.Reset();
    return S_OK;
  }

  HRESULT AVCORE_CALL GetParam(int32_t param, void* value, int32_t size) override {
    if (value == nullptr) return E_POINTER;
    if (size != static_cast<int32_t>(sizeof(int32_t))) return E_INVALIDARG;
    std::lock_guard<std::mutex> lock(control_);
    const int32_t* slot = ParamSlot(param);
    if (slot == nullptr) return E_INVALIDARG;
    std::memcpy(value, slot, sizeof(int32_t));
    return S_OK;
  }

  HRESULT AVCORE_CALL SetParam(int32_t param, const void* value, int32_t size) override {
    if (value == nullptr) return E_POINTER;
    if (size != static_cast<int32_t>(sizeof(int32_t))) return E_INVALIDARG;
    int32_t v;
    std::memcpy(&v, value, sizeof(v));
    std::lock_guard<std::mutex> lock(control_);
    int32_t* slot = ParamSlot(param);
    if (slot == nullptr) return E_INVALIDARG;
    *slot = v;
    if (param == avcore::kAudioParamEchoCancel || param == avcore::kAudioParamNoiseSuppress) {
      engine_->SetProcessing(echo_cancel_ != 0, noise_suppress_ != 0);
    } else if (param == avcore::kAudioParamAutoGain) {
      engine_->SetMicVolumeControl(auto_gain_ != 0);
    }
    return S_OK;
  }

  HRESULT AVCORE_CALL GetAudioFormat(WAVEFORMATEX* format) override {
    if (format == nullptr) return E_POINTER;
    *format = WorkingFormat();
    return S_OK;
  }

  HRESULT AVCORE_CALL GetCaptureFormat(WAVEFORMATEX* format) override {
    if (format == nullptr) return E_POINTER;
    *format = WorkingFormat();
    return S_OK;
  }

  HRESULT AVCORE_CALL AddCapProcessedDataSink(avcore::IAudioDataSink* sink, void* context) override {
    return capture_sinks_.Add(sink, context) ? S_OK : E_POINTER;
  }
  HRESULT AVCORE_CALL RemoveCapProcessedDataSink(avcore::IAudioDataSink* sink) override {
    return capture_sinks_.Remove(sink) ? S_OK : S_FALSE;
  }
  HRESULT AVCORE_CALL AddPlayDataSink(avcore::IAudioDataSink* sink, void* context) override {
    return play_sinks_.Add(sink, context) ? S_OK : E_POINTER;
  }
  HRESULT AVCORE_CALL RemovePlayDataSink(avcore::IAudioDataSink* sink) override {
    return play_sinks_.Remove(sink) ? S_OK : S_FALSE;
  }
  HRESULT AVCORE_CALL AddMixDataSink(avcore::IAudioDataSink* sink, void* context) override {
    return mix_sinks_.Add(sink, context) ? S_OK : E_POINTER;
  }
  HRESULT AVCORE_CALL RemoveMixDataSink(avcore::IAudioDataSink* sink) override {
    return mix_sinks_.Remove(sink) ? S_OK : S_FALSE;
  }

  int32_t AVCORE_CALL CreateAudioStream(int32_t kind, int32_t flags) override {
    if (kind != avcore::kAudioStreamRemotePlayback || flags != 0) {
      FW_LOG("audio device %p: no stream of kind %d flags %d", static_cast<void*>(this), kind, flags);
      return 0;
    }
    return mixer_.Create();
  }

  HRESULT AVCORE_CALL RemoveAudioStream(int32_t streamId) override {
    std::shared_ptr<SinkList<avcore::IAudioDataSink>> sinks;
    {
      std::lock_guard<std::mutex> lock(streams_);
      if (!mixer_.Remove(streamId)) return E_INVALIDARG;
      auto voice = voices_.find(streamId);
      if (voice != voices_.end()) {
        const VoiceJitterStats st = voice->second->stats();
        FW_LOG(
            "audio device %p: stream %d received %lld packets, %lld late, %lld duplicate, "
            "%lld lost (%lld rebuilt), playout held %lld times, %lld frames shed, target %d frames",
            static_cast<void*>(this), streamId, static_cast<long long>(st.received), static_cast<long long>(st.late),
            static_cast<long long>(st.duplicates), static_cast<long long>(st.lost),
            static_cast<long long>(st.recovered), static_cast<long long>(st.held), static_cast<long long>(st.shed),
            voice->second->target_frames());
        voices_.erase(voice);
      }
      auto it = encoded_sinks_.find(streamId);
      if (it != encoded_sinks_.end()) {
        sinks = it->second;
        encoded_sinks_.erase(it);
      }
    }
    if (sinks) sinks->Clear();
    return S_OK;
  }

  HRESULT AVCORE_CALL AddRemoteEncodedDataSink(int32_t streamId, avcore::IAudioDataSink* sink, void* context) override {
    if (sink == nullptr) return E_POINTER;
    std::lock_guard<std::mutex> lock(streams_);
    if (!mixer_.Contains(streamId)) return E_INVALIDARG;
    auto& sinks = encoded_sinks_[streamId];
    if (!sinks) sinks = std::make_shared<SinkList<avcore::IAudioDataSink>>();
    sinks->Add(sink, context);
    return S_OK;
  }

  HRESULT AVCORE_CALL RemoveRemoteEncodedDataSink(avcore::IAudioDataSink* sink) override {
    std::vector<std::shared_ptr<SinkList<avcore::IAudioDataSink>>> lists;
    {
      std::lock_guard<std::mutex> lock(streams_);
      for (auto& [id, list] : encoded_sinks_) lists.push_back(list);
    }
    bool removed = false;
    for (auto& list : lists) removed |= list->Remove(sink);
    return removed ? S_OK : S_FALSE;
  }

  HRESULT AVCORE_CALL GetStreamInfo(int32_t streamId, int32_t* level, int32_t* packets, int32_t* lost) override {
    AudioStreamInfo info;
    if (!mixer_.Info(streamId, &info)) return E_INVALIDARG;
    if (level) *level = info.level;
    if (packets) *packets = info.packets;
    if (lost) *lost = info.lost;
    return S_OK;
  }

  int32_t AVCORE_CALL GetCaptureDeviceCount() override { return CaptureDeviceCount(*engine_); }

  HRESULT AVCORE_CALL GetCaptureDeviceName(int32_t index, wchar_t* name, int32_t capacity) override {
    return CaptureDeviceName(*engine_, index, name, capacity);
  }

  int32_t AVCORE_CALL GetPlayDeviceCount() override { return engine_->PlayDeviceCount(); }

  HRESULT AVCORE_CALL GetPlayDeviceName(int32_t index, wchar_t* name, int32_t capacity) override {
    if (name == nullptr) return E_POINTER;
    if (capacity < 1) return E_INVALIDARG;
    name[0] = L'\0';
    std::wstring text;
    if (!engine_->PlayDeviceName(index, &text)) return E_INVALIDARG;
    return CopyName(text, name, capacity);
  }

  HRESULT AVCORE_CALL GetSpeakerVolume(int32_t* volume, int32_t* minimum, int32_t* maximum) override {
    return ReadVolume(false, volume, minimum, maximum);
  }
  HRESULT AVCORE_CALL SetSpeakerVolume(int32_t volume) override { return WriteVolume(false, volume); }
  HRESULT AVCORE_CALL GetMicrophoneVolume(int32_t* volume, int32_t* minimum, int32_t* maximum) override {
    return ReadVolume(true, volume, minimum, maximum);
  }
  HRESULT AVCORE_CALL SetMicrophoneVolume(int32_t volume) override { return WriteVolume(true, volume); }

  HRESULT AVCORE_CALL GetSpeakerSwitch(int32_t* on) override { return ReadSwitch(speaker_on_, on); }
  HRESULT AVCORE_CALL SetSpeakerSwitch(uint8_t on) override { return WriteSwitch(&speaker_on_, on); }
  HRESULT AVCORE_CALL GetMicrophoneSwitch(int32_t* on) override { return ReadSwitch(mic_on_, on); }
  HRESULT AVCORE_CALL SetMicrophoneSwitch(uint8_t on) override { return WriteSwitch(&mic_on_, on); }

  HRESULT AVCORE_CALL GetSpeakerEnergy(int32_t* energy, int32_t* peak, int32_t* average) override {
    FillLevels(speaker_meter_.levels(), energy, peak, average);
    return S_OK;
  }
  HRESULT AVCORE_CALL GetMicrophoneEnergy(int32_t* energy, int32_t* peak, int32_t* average) override {
    FillLevels(mic_meter_.levels(), energy, peak, average);
    return S_OK;
  }

  // IAudioSourcePort
  HRESULT AVCORE_CALL GetPlayingDeviceName(wchar_t* name, int32_t capacity) override {
    if (name == nullptr) return E_POINTER;
    if (capacity < 1) return E_INVALIDARG;
    name[0] = L'\0';
    int32_t index = -1;
    {
      std::lock_guard<std::mutex> lock(control_);
      index = play_index_;
    }
    if (index < 0) return S_FALSE;
    return GetPlayDeviceName(index, name, capacity);
  }
  HRESULT AVCORE_CALL DeliverVoicePacket(int32_t streamId, const VoicePacket* packet) override {
    if (packet == nullptr || packet->payload == nullptr || packet->payload_bytes == 0) {
      return E_INVALIDARG;
    }
    std::shared_ptr<VoiceStreamReceiver> voice;
    std::shared_ptr<SinkList<avcore::IAudioDataSink>> sinks;
    {
      std::lock_guard<std::mutex> lock(streams_);
      if (!mixer_.Contains(streamId)) return E_INVALIDARG;
      auto& slot = voices_[streamId];
      if (!slot) {
        slot = std::make_shared<VoiceStreamReceiver>();
        mixer_.Attach(streamId, slot);
      }
      voice = slot;
      auto it = encoded_sinks_.find(streamId);
      if (it != encoded_sinks_.end()) sinks = it->second;
    }
    voice->OnPacket(packet->sequence, packet->ssrc, packet->payload, packet->payload_bytes, packet->arrival_ms);
    if (sinks && !sinks->empty()) {
      std::vector<uint8_t> encoded;
      if (WriteRemoteAudioFromOpusRtp(packet->sequence, packet->timestamp, packet->payload, packet->payload_bytes,
                                      &encoded)) {
        const int32_t bytes = static_cast<int32_t>(encoded.size());
        sinks->ForEach(
            [&](avcore::IAudioDataSink* sink, void* context) { sink->OnAudioData(encoded.data(), bytes, context); });
      }
    }
    return S_OK;
  }

  HRESULT AVCORE_CALL SetSendSink(IAudioSendSink* sink) override {
    send_.Clear();
    if (sink) send_.Add(sink, nullptr);
    return S_OK;
  }

  HRESULT AVCORE_CALL WriteStream(int32_t streamId, const void* pcm, int32_t bytes) override {
    if (pcm == nullptr || bytes < 0 || bytes % 2 != 0) return E_INVALIDARG;
    return mixer_.Write(streamId, static_cast<const int16_t*>(pcm), static_cast<size_t>(bytes) / 2) ? S_OK
                                                                                                    : E_INVALIDARG;
  }

  HRESULT AVCORE_CALL DeliverStreamPacket(int32_t streamId, const void* packet, int32_t bytes, int32_t lost) override {
    if (packet == nullptr || bytes <= 0) return E_INVALIDARG;
    std::shared_ptr<SinkList<avcore::IAudioDataSink>> sinks;
    {
      std::lock_guard<std::mutex> lock(streams_);
      if (!mixer_.NotePacket(streamId, lost)) return E_INVALIDARG;
      auto it = encoded_sinks_.find(streamId);
      if (it != encoded_sinks_.end()) sinks = it->second;
    }
    if (sinks) {
      sinks->ForEach([&](avcore::IAudioDataSink* sink, void* context) { sink->OnAudioData(packet, bytes, context); });
    }
    return S_OK;
  }

 private:
  // Capture thread of the engine.
  void OnEngineCapture(const int16_t* pcm, size_t samples) override {
    capture_frame_.assign(pcm, pcm + samples);
    if (!mic_on_) std::fill(capture_frame_.begin(), capture_frame_.end(), 0);
    mic_meter_.AddFrame(capture_frame_.data(), samples);
    const int32_t bytes = static_cast<int32_t>(samples * 2);
    capture_sinks_.ForEach(
        [&](avcore::IAudioDataSink* sink, void* context) { sink->OnAudioData(capture_frame_.data(), bytes, context); });
    send_.ForEach([&](IAudioSendSink* sink, void*) {
      sink->OnCapturedPcm(capture_frame_.data(), static_cast<int32_t>(samples));
    });
    if (mix_tap_.OnCaptured(capture_frame_.data(), samples, playing_, &capture_mix_)) {
      DeliverMix(capture_mix_);
    }
  }

  // Render thread of the engine.
  void OnEngineRender(int16_t* out, size_t samples) override {
    mixer_.MixNext(out, samples);
    if (!speaker_on_) std::fill(out, out + samples, 0);
    speaker_meter_.AddFrame(out, samples);
    const int32_t bytes = static_cast<int32_t>(samples * 2);
    play_sinks_.ForEach([&](avcore::IAudioDataSink* sink, void* context) { sink->OnAudioData(out, bytes, context); });
    mix_tap_.OnPlayed(out, samples, &render_mix_);
    DeliverMix(render_mix_);
  }

  // Plug-in thread.
  void OnPluginBlock(const void* block) override {
    send_.ForEach([&](IAudioSendSink* sink, void*) { sink->OnPluginBlock(block); });
  }

  void DeliverMix(const std::vector<int16_t>& frame) {
    const int32_t bytes = static_cast<int32_t>(frame.size() * 2);
    mix_sinks_.ForEach(
        [&](avcore::IAudioDataSink* sink, void* context) { sink->OnAudioData(frame.data(), bytes, context); });
  }

  void DetachPluginLocked() {
    if (plugin_token_ != 0) GlobalPluginRegistry().Detach(plugin_token_, this);
    plugin_token_ = 0;
  }

  int32_t* ParamSlot(int32_t param) {
    switch (param) {
      case avcore::kAudioParamEchoCancel:
        return &echo_cancel_;
      case avcore::kAudioParamNoiseSuppress:
        return &noise_suppress_;
      case avcore::kAudioParamProcessorMode:
        return &processor_mode_;
      case avcore::kAudioParamAutoGain:
        return &auto_gain_;
      default:
        return nullptr;
    }
  }

  int32_t EngineVolume(bool microphone, bool* ok) {
    int32_t v = 0;
    *ok = microphone ? engine_->CaptureVolume(&v) : engine_->PlayVolume(&v);
    return std::clamp(v, 0, kVolumeMax);
  }

  // The engine's level scale differs from 0-100: a reading within one step of the value
  // last set is that value.
  HRESULT ReadVolume(bool microphone, int32_t* volume, int32_t* minimum, int32_t* maximum) {
    bool ok = false;
    int32_t v = EngineVolume(microphone, &ok);
    if (!ok) return kNoAudioEngine;
    const int32_t set = microphone ? mic_volume_set_ : speaker_volume_set_;
    if (set >= 0 && std::abs(v - set) <= 1) v = set;
    if (volume) *volume = v;
    if (minimum) *minimum = 0;
    if (maximum) *maximum = kVolumeMax;
    return S_OK;
  }

  // Quietwell does not say whether a volume was taken: it is read back, and a device that
  // did not take it (none open yet, or no volume control) fails the call.
  HRESULT WriteVolume(bool microphone, int32_t volume) {
    if (volume < 0 || volume > kVolumeMax) return E_INVALIDARG;
    const bool set = microphone ? engine_->SetCaptureVolume(volume) : engine_->SetPlayVolume(volume);
    if (!set) return kNoAudioEngine;
    bool ok = false;
    const int32_t now = EngineVolume(microphone, &ok);
    if (!ok || std::abs(now - volume) > 1) {
      FW_LOG("audio device %p: %s volume %d not taken (reads %d)", static_cast<void*>(this),
             microphone ? "microphone" : "speaker", volume, now);
      return E_FAIL;
    }
    (microphone ? mic_volume_set_ : speaker_volume_set_) = volume;
    return S_OK;
  }

  static HRESULT ReadSwitch(const std::atomic<bool>& state, int32_t* on) {
    if (on == nullptr) return E_POINTER;
    *on = state ? 1 : 0;
    return S_OK;
  }
  static HRESULT WriteSwitch(std::atomic<bool>* state, uint8_t on) {
    if (on > 1) return E_INVALIDARG;
    *state = on == 1;
    return S_OK;
  }

  const std::shared_ptr<QuietwellEngine> engine_;

  std::mutex control_;  // starts, stops, parameters
  int32_t capture_index_ = -1;
  int32_t play_index_ = -1;  // under control_
  uintptr_t plugin_token_ = 0;
  int32_t echo_cancel_ = 1;
  int32_t noise_suppress_ = 1;
  int32_t processor_mode_ = 0;
  int32_t auto_gain_ = 1;

  std::atomic<int32_t> speaker_volume_set_{-1};  // last volume taken, -1 none
  std::atomic<int32_t> mic_volume_set_{-1};
  std::atomic<bool> playing_{false};
  std::atomic<bool> speaker_on_{true};
  std::atomic<bool> mic_on_{true};

  SinkList<avcore::IAudioDataSink> capture_sinks_;
  SinkList<avcore::IAudioDataSink> play_sinks_;
  SinkList<avcore::IAudioDataSink> mix_sinks_;
  SinkList<IAudioSendSink> send_;

  std::mutex streams_;  // stream ids and their encoded-data sinks
  AudioStreamMixer mixer_;
  std::map<int32_t, std::shared_ptr<SinkList<avcore::IAudioDataSink>>> encoded_sinks_;
  std::map<int32_t, std::shared_ptr<VoiceStreamReceiver>> voices_;  // made by the first packet

  AudioLevelMeter mic_meter_;
  AudioLevelMeter speaker_meter_;
  MixTap mix_tap_;
  std::vector<int16_t> capture_frame_;  // capture thread only
  std::vector<int16_t> capture_mix_;    // capture thread only
  std::vector<int16_t> render_mix_;     // render thread only
};

}  // namespace

avcore::IAudioDevice* CreateAudioDevice() { return new (std::nothrow) AudioDevice(); }

}  // namespace tessarine
