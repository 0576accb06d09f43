#include "core/devices/audio_engine.h"

#include <new>

#include "core/env/core_env.h"
#include "core/env/log_record.h"
#include "kiv_error.h"

namespace kiv_core {

namespace {

// The audio device while the framework is up, else null.
avcore::IAudioDevice* Device() {
  if (!CoreEnv::IsBaseCoreInited()) return nullptr;
  return CoreEnv::Instance()->m_audiodevice.get();
}

bool AutoPlay() { return CoreEnv::Instance() && CoreEnv::Instance()->m_config.audioAutoPlay; }

int SetResult(HRESULT hr) { return hr < 0 ? ERR_FAILED : ERR_OK; }

typedef HRESULT (AVCORE_CALL avcore::IAudioDevice::*LevelGetter)(int32_t*, int32_t*, int32_t*);
typedef HRESULT (AVCORE_CALL avcore::IAudioDevice::*SwitchGetter)(int32_t*);

int ReadLevel(LevelGetter getter) {
  avcore::IAudioDevice* device = Device();
  if (!device) return 0;
  int32_t level = 0;
  int32_t second = 0;
  int32_t third = 0;
  (void)(device->*getter)(&level, &second, &third);
  return level;
}

bool ReadSwitch(SwitchGetter getter) {
  avcore::IAudioDevice* device = Device();
  if (!device) return false;
  int32_t on = 0;
  (void)(device->*getter)(&on);
  return on == 1;
}

void SetDeviceParam(avcore::IAudioDevice* device, int32_t param, int32_t value) {
  (void)device->SetParam(param, &value, sizeof(value));
}

}  // namespace

struct AudioEngine::TapOps {
  HRESULT (AVCORE_CALL avcore::IAudioDevice::*add)(avcore::IAudioDataSink*, void*);
  HRESULT (AVCORE_CALL avcore::IAudioDevice::*remove)(avcore::IAudioDataSink*);
  const char* repeatMessage;
  const char* addFailure;
  const char* removeFailure;
};

int32_t RecordAudioFrameDataSink::OnAudioData(const void* data, int32_t length, void* context) {
  if (!data || !context) return 0;
  return static_cast<AudioEngine*>(context)->DeliverFrame(AudioEngine::Tap::Capture, data, length);
}

int32_t PlaybackAudioFrameDataSink::OnAudioData(const void* data, int32_t length, void* context) {
  if (!data || !context) return 0;
  return static_cast<AudioEngine*>(context)->DeliverFrame(AudioEngine::Tap::Playback, data, length);
}

int32_t MixedAudioFrameDataSink::OnAudioData(const void* data, int32_t length, void* context) {
  if (!data || !context) return 0;
  return static_cast<AudioEngine*>(context)->DeliverFrame(AudioEngine::Tap::Mixed, data, length);
}

AudioEngine::AudioEngine() {
  m_captureSink.reset(new (std::nothrow) RecordAudioFrameDataSink());
  m_playSink.reset(new (std::nothrow) PlaybackAudioFrameDataSink());
  m_mixedSink.reset(new (std::nothrow) MixedAudioFrameDataSink());
}

AudioEngine::~AudioEngine() {
  m_captureSink.reset();
  m_playSink.reset();
  m_mixedSink.reset();
}

bool AudioEngine::Init() {
  CoreEnv* env = CoreEnv::Instance();
  avcore::IAudioDevice* device = env ? env->m_audiodevice.get() : nullptr;
  if (!device) {
    KIV_LOG("init audio engine fail env %p, env->m_audiodevice %p", static_cast<void*>(env),
            static_cast<void*>(device));
    return false;
  }
  if (m_initialised) {
    KIV_LOG("audio already inited");
    return true;
  }
  (void)device->Open();
  (void)SetMicrophoneDevice(0);
  (void)SetSpeakerDevice(0);
  SetDeviceParam(device, avcore::kAudioParamEchoCancel, 1);
  SetDeviceParam(device, avcore::kAudioParamNoiseSuppress, 1);
  SetDeviceParam(device, avcore::kAudioParamAutoGain, 0);
  m_initialised = true;
  return true;
}

void AudioEngine::Uninit() {
  m_playbackIndex = -1;
  m_captureIndex = -1;
  CoreEnv* env = CoreEnv::Instance();
  if (env && env->m_audiodevice) {
    (void)env->m_audiodevice->StopPlay();
    (void)env->m_audiodevice->StopCapture();
  }
  m_initialised = false;
}

void AudioEngine::RemoveTaps() {
  KIV_LOG("Remove audio taps");
  (void)SetLocalCaptureAudioObserver(nullptr);
  (void)SetLocalPlayAudioObserver(nullptr);
  (void)SetMixedAudioObserver(nullptr);
}

int AudioEngine::StartCapture() {
  avcore::IAudioDevice* device = Device();
  if (!device) return ERR_INVALID_STATE;
  if (device->StartCapture(m_captureIndex) < 0) {
    KIV_LOG("Start capture audio device %d failed!!!", m_captureIndex.load());
    return ERR_FAILED;
  }
  return ERR_OK;
}

int AudioEngine::StartPlay() {
  KIV_LOG("Start play from audio device: %d", m_playbackIndex.load());
  avcore::IAudioDevice* device = Device();
  if (!device) return ERR_INVALID_STATE;
  if (device->StartPlay(m_playbackIndex) < 0) {
    KIV_LOG("Start play audio device %d failed!!!", m_playbackIndex.load());
    return ERR_FAILED;
  }
  return ERR_OK;
}

int AudioEngine::StopPlay() {
  avcore::IAudioDevice* device = Device();
  if (!device) return ERR_INVALID_STATE;
  if (device->StopPlay() < 0) {
    KIV_LOG("Stop play audio device %d failed!!!", m_playbackIndex.load());
    return ERR_FAILED;
  }
  return ERR_OK;
}

int AudioEngine::SetMicrophoneDevice(int index) {
  avcore::IAudioDevice* device = Device();
  if (!device) return ERR_INVALID_STATE;
  if (m_captureIndex != -1 && device->StartCapture(index) < 0) return ERR_FAILED;
  m_captureIndex = index;
  return ERR_OK;
}

int AudioEngine::SetSpeakerDevice(int index) {
  KIV_LOG("Set speaker device = %d", index);
  if (!Device()) return ERR_INVALID_STATE;
  m_playbackIndex = index;
  return AutoPlay() ? StartPlay() : ERR_OK;
}

int AudioEngine::SetSpeakerVolume(int volume) {
  avcore::IAudioDevice* device = Device();
  return device ? SetResult(device->SetSpeakerVolume(volume)) : ERR_INVALID_STATE;
}

int AudioEngine::GetSpeakerVolume() { return ReadLevel(&avcore::IAudioDevice::GetSpeakerVolume); }

int AudioEngine::SetMicrophoneVolume(int volume) {
  avcore::IAudioDevice* device = Device();
  return device ? SetResult(device->SetMicrophoneVolume(volume)) : ERR_INVALID_STATE;
}

int AudioEngine::GetMicrophoneVolume() { return ReadLevel(&avcore::IAudioDevice::GetMicrophoneVolume); }

int AudioEngine::SetSpeakerSwitch(bool on) {
  avcore::IAudioDevice* device = Device();
  return device ? SetResult(device->SetSpeakerSwitch(on ? 1 : 0)) : ERR_INVALID_STATE;
}

bool AudioEngine::GetSpeakerSwitch() { return ReadSwitch(&avcore::IAudioDevice::GetSpeakerSwitch); }

int AudioEngine::SetMicrophoneSwitch(bool on) {
  avcore::IAudioDevice* device = Device();
  return device ? SetResult(device->SetMicrophoneSwitch(on ? 1 : 0)) : ERR_INVALID_STATE;
}

bool AudioEngine::GetMicrophoneSwitch() { return ReadSwitch(&avcore::IAudioDevice::GetMicrophoneSwitch); }

int AudioEngine::GetSpeakerEnergy() { return ReadLevel(&avcore::IAudioDevice::GetSpeakerEnergy); }

int AudioEngine::GetMicrophoneEnergy() { return ReadLevel(&avcore::IAudioDevice::GetMicrophoneEnergy); }

template <class Observer>
int AudioEngine::SetObserver(ZORVANTE::CallbackSlot<Observer>& slot, avcore::IAudioDataSink* sink, const TapOps& ops,
                             Observer* observer) {
  avcore::IAudioDevice* device = Device();
  if (!device) return ERR_INVALID_STATE;
  if (!sink) return ERR_FAILED;
  if (!observer) {
    if ((device->*ops.remove)(sink) < 0) {
      KIV_LOG(ops.removeFailure, static_cast<void*>(sink));
      return ERR_FAILED;
    }
    (void)slot.Set(nullptr);
    return ERR_OK;
  }
  if (observer == slot.Peek()) {
    KIV_LOG("%s", ops.repeatMessage);
    return ERR_OK;
  }
  WAVEFORMATEX format = {};
  if (device->GetAudioFormat(&format) < 0) {
    KIV_LOG("Get audio format failed!");
    return ERR_FAILED;
  }
  {
    ZORVANTE::WAutoLock guard(&m_tapLock);
    m_format = format;
  }
  if ((device->*ops.add)(sink, this) < 0) {
    KIV_LOG("%s", ops.addFailure);
    return ERR_FAILED;
  }
  (void)slot.Set(observer);
  return ERR_OK;
}

int AudioEngine::SetLocalCaptureAudioObserver(ICoreLocalCaptureAudioObserver* observer) {
  static const TapOps ops = {&avcore::IAudioDevice::AddCapProcessedDataSink,
                             &avcore::IAudioDevice::RemoveCapProcessedDataSink,
                             "Set local capture audio observer repeat.", "AddCapProcessedDataSink failed!",
                             "RemoveCapProcessedDataSink %p failed!!!"};
  return SetObserver(m_captureObserver, m_captureSink.get(), ops, observer);
}

int AudioEngine::SetLocalPlayAudioObserver(ICoreLocalPlayAudioObserver* observer) {
  static const TapOps ops = {&avcore::IAudioDevice::AddPlayDataSink, &avcore::IAudioDevice::RemovePlayDataSink,
                             "Set local play audio observer repeat.", "AddPlayDataSink failed!!!",
                             "RemovePlayDataSink failed!!!"};
  return SetObserver(m_playObserver, m_playSink.get(), ops, observer);
}

int AudioEngine::SetMixedAudioObserver(ICoreAllMixedAudioObserver* observer) {
  static const TapOps ops = {&avcore::IAudioDevice::AddMixDataSink, &avcore::IAudioDevice::RemoveMixDataSink,
                             "Set mixed audio observer repeat.", "AddMixDataSink failed!!!",
                             "RemoveMixDataSink failed!!!"};
  return SetObserver(m_mixedObserver, m_mixedSink.get(), ops, observer);
}

CoreAudioFrame AudioEngine::FrameOf(const void* data, int32_t length) {
  CoreAudioFrame frame;
  {
    ZORVANTE::WAutoLock guard(&m_tapLock);
    frame.kind = m_format.wFormatTag == WAVE_FORMAT_PCM ? 1 : 2;
    frame.channels = m_format.nChannels;
    frame.sampleRate = static_cast<int32_t>(m_format.nSamplesPerSec);
  }
  frame.data = data;
  frame.length = length;
  return frame;
}

int32_t AudioEngine::DeliverFrame(Tap tap, const void* data, int32_t length) {
  if (!data) return 0;
  const CoreAudioFrame frame = FrameOf(data, length);
  bool called = false;
  switch (tap) {
    case Tap::Capture:
      called = m_captureObserver.Call(
          [&](ICoreLocalCaptureAudioObserver& observer) { observer.OnLocalCaptureAudioFrame(&frame); });
      break;
    case Tap::Playback:
      called =
          m_playObserver.Call([&](ICoreLocalPlayAudioObserver& observer) { observer.OnLocalPlayAudioFrame(&frame); });
      break;
    case Tap::Mixed:
      called =
          m_mixedObserver.Call([&](ICoreAllMixedAudioObserver& observer) { observer.OnAllMixedAudioFrame(&frame); });
      break;
  }
  return called ? length : 0;
}

}  // namespace kiv_core
