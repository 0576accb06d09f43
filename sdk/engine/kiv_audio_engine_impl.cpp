#include "engine/kiv_audio_engine_impl.h"

#include "core/core_engine.h"
#include "core/devices/audio_engine.h"
#include "core/env/log_record.h"
#include "engine/kiv_engine_impl.h"
#include "engine/kiv_exports_internal.h"

namespace kiv {

int KivAudioEngineImpl::SetAudioParam(int parameter, int value) {
  KIV_LOG("SetAudioParam %d, %d", parameter, value);
  int result = kiv_core::ERR_INVALID_PARAM;
  KivEngineImpl* engine = CurrentEngine();
  switch (parameter) {
    case AUDIOPARAM_SPEAKER_VOLUME:
      result = m_audioEngine->SetSpeakerVolume(value);
      break;
    case AUDIOPARAM_MIC_VOLUME:
      result = m_audioEngine->SetMicrophoneVolume(value);
      break;
    case AUDIOPARAM_SPEAKER_SWITCH:
      result = m_audioEngine->SetSpeakerSwitch(value == 1);
      break;
    case AUDIOPARAM_MIC_SWITCH:
      result = m_audioEngine->SetMicrophoneSwitch(value == 1);
      break;
    case AUDIOPARAM_VOICE_PITCH:
      if (engine) {
        const int32_t pitch = value;
        result = engine->Core()->GetStreamManager()->GetLocalAudioStream()->SetParam(avcore::kAudioParamPitch, &pitch,
                                                                                     4) == S_OK
                     ? kiv_core::ERR_OK
                     : kiv_core::ERR_INVALID_PARAM;
      }
      break;
    case AUDIOPARAM_AUTO_RECV_REMOTEAUDIO:
      if (engine) {
        kiv_core::EngineConfig* config = engine->Core()->GetEngineConfig();
        if (config) config->audioAutoRecv = (value == 1);
        KIV_LOG("SetAudioParam AUDIOPARAM_AUTO_RECV_REMOTEAUDIO %d", value);
      }
      break;
    case AUDIOPARAM_REMOTE_VOICE_MODE:
      if (engine && (value == 1 || value == 2)) {
        kiv_core::EngineConfig* config = engine->Core()->GetEngineConfig();
        if (config) config->remoteVoiceMode = value;
      }
      break;
    default:
      break;
  }
  return result;
}

int KivAudioEngineImpl::GetAudioParam(int parameter) {
  switch (parameter) {
    case AUDIOPARAM_SPEAKER_VOLUME:
      return m_audioEngine->GetSpeakerVolume();
    case AUDIOPARAM_MIC_VOLUME:
      return m_audioEngine->GetMicrophoneVolume();
    case AUDIOPARAM_SPEAKER_SWITCH:
      return m_audioEngine->GetSpeakerSwitch() ? 1 : 0;
    case AUDIOPARAM_MIC_SWITCH:
      return m_audioEngine->GetMicrophoneSwitch() ? 1 : 0;
    case AUDIOPARAM_SPEAKER_ENERGY:
      return m_audioEngine->GetSpeakerEnergy();
    case AUDIOPARAM_MIC_ENERGY:
      return m_audioEngine->GetMicrophoneEnergy();
    default:
      return 0;
  }
}

int KivAudioEngineImpl::SetSpeakerDevice(int index) { return m_audioEngine->SetSpeakerDevice(index); }

int KivAudioEngineImpl::SetMicrophoneDevice(int index) { return m_audioEngine->SetMicrophoneDevice(index); }

int KivAudioEngineImpl::GetSpeakerDevice() { return m_audioEngine->GetSpeakerDevice(); }

int KivAudioEngineImpl::GetMicrophoneDevice() { return m_audioEngine->GetMicrophoneDevice(); }

}  // namespace kiv
