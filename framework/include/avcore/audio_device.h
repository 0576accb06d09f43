// The framework's audio device: capture, playback, remote playback streams and the PCM
// taps, and the sink interface through which it hands out audio.
#pragma once

#include "avcore/platform.h"

namespace avcore {

// Receives audio on the framework's audio threads. `context` is the value given when the
// sink was added. Returns the bytes taken (or 0). Not reference counted: after the
// matching Remove* call returns the sink is never called again.
struct IAudioDataSink {
  virtual int32_t AVCORE_CALL OnAudioData(const void* data, int32_t length, void* context) = 0;
};

// Device parameters for GetParam/SetParam (4-byte integer values).
enum AudioDeviceParam : int32_t {
  kAudioParamEchoCancel = 4097,     // 1 = echo cancellation on
  kAudioParamNoiseSuppress = 4098,  // 1 = noise suppression on
  kAudioParamProcessorMode = 4102,  // low byte: set-up mode for IAudioProcessor::Init
  kAudioParamAutoGain = 4130,       // 1 = automatic microphone gain on
};

// Kinds of CreateAudioStream.
enum AudioStreamKind : int32_t {
  kAudioStreamRemotePlayback = 1,  // plays a remote user's audio received by IAvNet
};

struct IAudioDevice : public IUnknown {
  // (Re)opens the device lists and the engine; called again at joins and device changes.
  virtual HRESULT AVCORE_CALL Open() = 0;
  virtual HRESULT AVCORE_CALL Close() = 0;
  // Capture and playback on the device of that index (index = device id of the lists).
  virtual HRESULT AVCORE_CALL StartCapture(int32_t deviceIndex) = 0;
  virtual HRESULT AVCORE_CALL StopCapture() = 0;
  virtual HRESULT AVCORE_CALL StartPlay(int32_t deviceIndex) = 0;
  virtual HRESULT AVCORE_CALL StopPlay() = 0;

  virtual HRESULT AVCORE_CALL GetParam(int32_t param, void* value, int32_t size) = 0;
  virtual HRESULT AVCORE_CALL SetParam(int32_t param, const void* value, int32_t size) = 0;
  // Format of the PCM handed to the taps (the engine's working format).
  virtual HRESULT AVCORE_CALL GetAudioFormat(WAVEFORMATEX* format) = 0;
  // Format of the captured audio as recorded (what the screen recorder receives).
  virtual HRESULT AVCORE_CALL GetCaptureFormat(WAVEFORMATEX* format) = 0;

  // PCM taps: processed capture, what is played, and the mix of both.
  virtual HRESULT AVCORE_CALL AddCapProcessedDataSink(IAudioDataSink* sink, void* context) = 0;
  virtual HRESULT AVCORE_CALL RemoveCapProcessedDataSink(IAudioDataSink* sink) = 0;
  virtual HRESULT AVCORE_CALL AddPlayDataSink(IAudioDataSink* sink, void* context) = 0;
  virtual HRESULT AVCORE_CALL RemovePlayDataSink(IAudioDataSink* sink) = 0;
  virtual HRESULT AVCORE_CALL AddMixDataSink(IAudioDataSink* sink, void* context) = 0;
  virtual HRESULT AVCORE_CALL RemoveMixDataSink(IAudioDataSink* sink) = 0;

  // Playback streams of remote audio. CreateAudioStream(kind, flags 0) returns a non-zero
  // stream id, or 0 when none can be made.
  virtual int32_t AVCORE_CALL CreateAudioStream(int32_t kind, int32_t flags) = 0;
  virtual HRESULT AVCORE_CALL RemoveAudioStream(int32_t streamId) = 0;
  // Hands each still-encoded packet of that stream to the sink (one packet per call).
  virtual HRESULT AVCORE_CALL AddRemoteEncodedDataSink(int32_t streamId, IAudioDataSink* sink, void* context) = 0;
  virtual HRESULT AVCORE_CALL RemoveRemoteEncodedDataSink(IAudioDataSink* sink) = 0;
  // level: the stream's output level (0-100); packets: packets received; lost: packets lost.
  virtual HRESULT AVCORE_CALL GetStreamInfo(int32_t streamId, int32_t* level, int32_t* packets, int32_t* lost) = 0;

  // Device lists; names are NUL-terminated UTF-16 in `capacity` units (260 suffices).
  virtual int32_t AVCORE_CALL GetCaptureDeviceCount() = 0;
  virtual HRESULT AVCORE_CALL GetCaptureDeviceName(int32_t index, wchar_t* name, int32_t capacity) = 0;
  virtual int32_t AVCORE_CALL GetPlayDeviceCount() = 0;
  virtual HRESULT AVCORE_CALL GetPlayDeviceName(int32_t index, wchar_t* name, int32_t capacity) = 0;

  // Volumes 0-100. Getters fill (current, minimum, maximum); any pointer may be null.
  virtual HRESULT AVCORE_CALL GetSpeakerVolume(int32_t* volume, int32_t* minimum, int32_t* maximum) = 0;
  virtual HRESULT AVCORE_CALL SetSpeakerVolume(int32_t volume) = 0;
  virtual HRESULT AVCORE_CALL GetMicrophoneVolume(int32_t* volume, int32_t* minimum, int32_t* maximum) = 0;
  virtual HRESULT AVCORE_CALL SetMicrophoneVolume(int32_t volume) = 0;
  // Switches: 1 = on (sound passes), 0 = muted.
  virtual HRESULT AVCORE_CALL GetSpeakerSwitch(int32_t* on) = 0;
  virtual HRESULT AVCORE_CALL SetSpeakerSwitch(uint8_t on) = 0;
  virtual HRESULT AVCORE_CALL GetMicrophoneSwitch(int32_t* on) = 0;
  virtual HRESULT AVCORE_CALL SetMicrophoneSwitch(uint8_t on) = 0;
  // Energies 0-100 of the last 20 ms: (current, peak, average); any pointer may be null.
  virtual HRESULT AVCORE_CALL GetSpeakerEnergy(int32_t* energy, int32_t* peak, int32_t* average) = 0;
  virtual HRESULT AVCORE_CALL GetMicrophoneEnergy(int32_t* energy, int32_t* peak, int32_t* average) = 0;
};

}  // namespace avcore
