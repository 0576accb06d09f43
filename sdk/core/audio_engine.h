// The core's owner of the framework's audio device.
#pragma once

#include "core/core_observers.h"

namespace kiv_core {

class AudioEngine {
public:
    AudioEngine() = default;
    AudioEngine(const AudioEngine&) = delete;
    AudioEngine& operator=(const AudioEngine&) = delete;

    bool Init();
    void Uninit();
    int StartCapture();
    int StopCapture();
    int StartPlay();
    int StopPlay();

    int SetSpeakerDevice(int index);
    int SetMicrophoneDevice(int index);
    int GetSpeakerDevice() const { return m_playbackIndex; }
    int GetMicrophoneDevice() const { return m_captureIndex; }

    int SetSpeakerVolume(int volume);
    int GetSpeakerVolume();
    int SetMicrophoneVolume(int volume);
    int GetMicrophoneVolume();
    int SetSpeakerSwitch(bool on);
    bool GetSpeakerSwitch();
    int SetMicrophoneSwitch(bool on);
    bool GetMicrophoneSwitch();
    int GetSpeakerEnergy();
    int GetMicrophoneEnergy();

    void SetLocalCaptureAudioObserver(ICoreLocalCaptureAudioObserver* observer);
    void SetLocalPlayAudioObserver(ICoreLocalPlayAudioObserver* observer);
    void SetMixedAudioObserver(ICoreAllMixedAudioObserver* observer);

private:
    int m_playbackIndex = -1;
    int m_captureIndex = -1;
    bool m_initialised = false;
    ICoreLocalCaptureAudioObserver* m_captureObserver = nullptr;
    ICoreLocalPlayAudioObserver* m_playObserver = nullptr;
    ICoreAllMixedAudioObserver* m_mixedObserver = nullptr;
};

}  // namespace kiv_core
