// The object behind IAudioEngine: device choice and audio parameters by number.
#pragma once

#include "kiv_audio_engine.h"

namespace kiv_core {
class AudioEngine;
}

namespace kiv {

class KivAudioEngineImpl : public IAudioEngine {
 public:
  explicit KivAudioEngineImpl(kiv_core::AudioEngine* audioEngine) : m_audioEngine(audioEngine) {}
  virtual ~KivAudioEngineImpl() = default;
  KivAudioEngineImpl(const KivAudioEngineImpl&) = delete;
  KivAudioEngineImpl& operator=(const KivAudioEngineImpl&) = delete;

  int SetAudioParam(int parameter, int value) override;
  int GetAudioParam(int parameter) override;
  int SetSpeakerDevice(int index) override;
  int SetMicrophoneDevice(int index) override;
  int GetSpeakerDevice() override;
  int GetMicrophoneDevice() override;

 private:
  kiv_core::AudioEngine* m_audioEngine;
};

}  // namespace kiv
