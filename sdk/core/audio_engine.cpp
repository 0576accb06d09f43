#include "core/audio_engine.h"

#include "core/core_env.h"
#include "kiv_error.h"

namespace kiv_core {

// The device operations need the framework's audio device; until it is up they refuse.

bool AudioEngine::Init() {
    if (!CoreEnv::IsBaseCoreInited()) return false;
    m_initialised = true;
    return true;
}

void AudioEngine::Uninit() { m_initialised = false; }

int AudioEngine::StartCapture() { return ERR_INVALID_STATE; }
int AudioEngine::StopCapture() { return ERR_INVALID_STATE; }
int AudioEngine::StartPlay() { return ERR_INVALID_STATE; }
int AudioEngine::StopPlay() { return ERR_INVALID_STATE; }
int AudioEngine::SetSpeakerDevice(int) { return ERR_INVALID_STATE; }
int AudioEngine::SetMicrophoneDevice(int) { return ERR_INVALID_STATE; }
int AudioEngine::SetSpeakerVolume(int) { return ERR_INVALID_STATE; }
int AudioEngine::GetSpeakerVolume() { return 0; }
int AudioEngine::SetMicrophoneVolume(int) { return ERR_INVALID_STATE; }
int AudioEngine::GetMicrophoneVolume() { return 0; }
int AudioEngine::SetSpeakerSwitch(bool) { return ERR_INVALID_STATE; }
bool AudioEngine::GetSpeakerSwitch() { return false; }
int AudioEngine::SetMicrophoneSwitch(bool) { return ERR_INVALID_STATE; }
bool AudioEngine::GetMicrophoneSwitch() { return false; }
int AudioEngine::GetSpeakerEnergy() { return 0; }
int AudioEngine::GetMicrophoneEnergy() { return 0; }

void AudioEngine::SetLocalCaptureAudioObserver(ICoreLocalCaptureAudioObserver* observer) {
    m_captureObserver = observer;
}

void AudioEngine::SetLocalPlayAudioObserver(ICoreLocalPlayAudioObserver* observer) {
    m_playObserver = observer;
}

void AudioEngine::SetMixedAudioObserver(ICoreAllMixedAudioObserver* observer) {
    m_mixedObserver = observer;
}

}  // namespace kiv_core
