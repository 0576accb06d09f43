// Microphone and speaker choice and audio parameters by number.
#pragma once

namespace kiv {

// Parameter ids of SetAudioParam / GetAudioParam.
enum : int {
  AUDIOPARAM_SPEAKER_VOLUME = 1,
  AUDIOPARAM_MIC_VOLUME = 2,
  AUDIOPARAM_SPEAKER_SWITCH = 3,
  AUDIOPARAM_MIC_SWITCH = 4,
  AUDIOPARAM_SPEAKER_ENERGY = 5,
  AUDIOPARAM_MIC_ENERGY = 6,
  AUDIOPARAM_VOICE_PITCH = 7,
  AUDIOPARAM_AUTO_RECV_REMOTEAUDIO = 8,
  AUDIOPARAM_REMOTE_VOICE_MODE = 9,
};

// Owned by the engine. Device indexes are positions in the IDeviceManager lists.
class IAudioEngine {
 public:
  virtual int SetAudioParam(int parameter, int value) = 0;
  virtual int GetAudioParam(int parameter) = 0;
  virtual int SetSpeakerDevice(int index) = 0;
  virtual int SetMicrophoneDevice(int index) = 0;
  // -1 until a device is opened or chosen.
  virtual int GetSpeakerDevice() = 0;
  virtual int GetMicrophoneDevice() = 0;

 protected:
  ~IAudioEngine() = default;
};

}  // namespace kiv
