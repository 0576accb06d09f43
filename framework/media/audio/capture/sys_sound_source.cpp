// System-sound source component: captures what the computer plays (loopback capture, or
// the render device's monitor) and publishes it on the media network as an encoded
// audio source under the given audio id, 20 ms Opus frames of 48 kHz mono.
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "audio_source_port.h"
#include "avcore/ids.h"
#include "com_object.h"
#include "components.h"
#include "framework_log.h"
#include "loopback_capture.h"
#include "opus_voice_codec.h"
#include "sink_list.h"
#include "voice_pcm_converter.h"

namespace tessarine {
namespace {

// What the media network reads: Opus packets to its data sinks. Part of the source
// object; counts no references and answers only its own interface id.
using EncoderPolicy = kiv_common::ComPolicy<kiv_common::RefCounting::kFixed, 1, false>;

class SystemSoundEncoder final : public kiv_common::ComObject<EncoderPolicy, avcore::IAudioEncSource> {
 public:
  SystemSoundEncoder() : ComObject(avcore::IID_IAudioEncSource) {}
  HRESULT AVCORE_CALL AddDataSink(avcore::IAudioDataSink* sink, void* context) override {
    return sinks_.Add(sink, context) ? S_OK : E_POINTER;
  }
  HRESULT AVCORE_CALL RemoveDataSink(avcore::IAudioDataSink* sink) override {
    return sinks_.Remove(sink) ? S_OK : S_FALSE;
  }
  HRESULT AVCORE_CALL SetParam(int32_t, const int32_t*, int32_t) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL ProcessorCall(int32_t, void*, int32_t) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL Notify(int32_t) override { return S_OK; }

  // Capture thread.
  void OnPcm(const int16_t* pcm, size_t frames, int32_t rate, int32_t channels) {
    converted_.clear();
    if (!converter_.Convert(pcm, frames, rate, channels, &converted_)) return;
    pending_.insert(pending_.end(), converted_.begin(), converted_.end());
    size_t used = 0;
    while (pending_.size() - used >= kVoiceFrameSamples) {
      if (encoder_.Encode(pending_.data() + used, &packet_)) {
        const int32_t bytes = static_cast<int32_t>(packet_.size());
        sinks_.ForEach(
            [&](avcore::IAudioDataSink* sink, void* context) { sink->OnAudioData(packet_.data(), bytes, context); });
      }
      used += kVoiceFrameSamples;
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(used));
  }

 private:
  SinkList<avcore::IAudioDataSink> sinks_;
  VoicePcmConverter converter_;
  OpusVoiceEncoder encoder_;
  std::vector<int16_t> converted_;
  std::vector<int16_t> pending_;
  std::vector<uint8_t> packet_;
};

// The device `device` plays on, when it is an audio device of this library that plays.
std::wstring PlayingDeviceName(avcore::IAudioDevice* device) {
  if (device == nullptr) return {};
  IAudioSourcePort* raw = nullptr;
  if (FAILED(device->QueryInterface(IID_IAudioSourcePort, reinterpret_cast<void**>(&raw))) || raw == nullptr) {
    return {};
  }
  ComRef<IAudioSourcePort> port(raw);
  wchar_t name[260] = {};
  return port->GetPlayingDeviceName(name, 260) == S_OK ? std::wstring(name) : std::wstring();
}

class SysSoundSource final : public ComObject<avcore::ISysSoundSource> {
 public:
  SysSoundSource() : ComObject(avcore::IID_ISysSoundSource) {}
  ~SysSoundSource() override { Stop(); }

  HRESULT AVCORE_CALL Start(avcore::IAvNet* net, avcore::IAudioDevice* device, avcore::IAecProcessor* aec,
                            int32_t flags, const char* audioId) override {
    (void)aec;  // the capture excludes nothing: what the device plays is heard as well
    if (net == nullptr || audioId == nullptr || audioId[0] == '\0') return E_INVALIDARG;
    if (flags != 0) return E_INVALIDARG;
    std::lock_guard<std::mutex> lock(mutex_);
    if (net_) return S_FALSE;  // already running
    const HRESULT added = net->AddSource(avcore::kMediaAudio, audioId, &encoder_);
    if (FAILED(added)) {
      FW_LOG("system sound: publishing \"%s\" failed 0x%08lx", audioId, static_cast<unsigned long>(added));
      return added;
    }
    if (!capture_.Start([this](const int16_t* pcm, size_t frames, int32_t rate,
                               int32_t channels) { encoder_.OnPcm(pcm, frames, rate, channels); },
                        PlayingDeviceName(device))) {
      FW_LOG("system sound: %s", capture_.error().c_str());
      net->RemoveSource(avcore::kMediaAudio, audioId);
      return E_FAIL;
    }
    net_.Share(net);
    id_ = audioId;
    FW_LOG("system sound: publishing \"%s\" from %s capture", audioId, capture_.mode().c_str());
    return S_OK;
  }

  HRESULT AVCORE_CALL Stop() override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!net_) return S_OK;
    net_->RemoveSource(avcore::kMediaAudio, id_.c_str());
    capture_.Stop();
    net_.Reset();
    id_.clear();
    return S_OK;
  }

 private:
  std::mutex mutex_;
  SystemSoundEncoder encoder_;
  LoopbackCapture capture_;
  ComRef<avcore::IAvNet> net_;
  std::string id_;
};

}  // namespace

avcore::ISysSoundSource* CreateSysSoundSource() { return new (std::nothrow) SysSoundSource(); }

}  // namespace tessarine
