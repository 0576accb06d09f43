// The audio device's side towards the media network, inside the library: where what it
// captures for sending goes, and how received audio reaches its playback streams.
// Reached by QueryInterface(IID_IAudioSourcePort) on a device of this library; not part
// of the framework's interfaces.
#pragma once

#include "avcore/platform.h"

namespace tessarine {

// {E001A673-BDFE-459C-A38D-FBDCFF572406}
inline constexpr GUID IID_IAudioSourcePort = {
    0xE001A673, 0xBDFE, 0x459C, {0xA3, 0x8D, 0xFB, 0xDC, 0xFF, 0x57, 0x24, 0x06}};

// Receives what a device captures for sending, on the device's audio threads.
struct IAudioSendSink {
  // A microphone frame in the device's working format (GetAudioFormat), after the
  // microphone switch.
  virtual void OnCapturedPcm(const int16_t* pcm, int32_t samples) = 0;
  // One output block of the audio plug-in the device captures from, as the plug-in
  // produced it (its size is given by the plug-in's own format).
  virtual void OnPluginBlock(const void* block) = 0;

 protected:
  ~IAudioSendSink() = default;
};

// One received RTP packet of a voice stream; the payload is valid during the call.
struct VoicePacket {
  uint16_t sequence;
  uint32_t timestamp;  // RTP, 48 kHz
  uint32_t ssrc;
  const uint8_t* payload;
  size_t payload_bytes;
  int64_t arrival_ms;  // any monotonic clock, the same for every packet of a stream
};

struct IAudioSourcePort : public IUnknown {
  // The one receiver of captured audio; null removes it. After it returns the previous
  // receiver is not called again.
  virtual HRESULT AVCORE_CALL SetSendSink(IAudioSendSink* sink) = 0;
  // Queues PCM of the working format on a playback stream (CreateAudioStream).
  virtual HRESULT AVCORE_CALL WriteStream(int32_t streamId, const void* pcm, int32_t bytes) = 0;
  // A packet received for a playback stream (and `lost` packets missing before it):
  // counted for GetStreamInfo and handed to the stream's encoded-data sinks.
  virtual HRESULT AVCORE_CALL DeliverStreamPacket(int32_t streamId, const void* packet, int32_t bytes,
                                                  int32_t lost) = 0;
  // A received voice packet (one Opus frame of 20 ms) for a playback stream: it goes
  // through the stream's jitter buffer and decoder into the render callback, and to the
  // stream's encoded-data sinks as a remote-audio packet. Any thread.
  virtual HRESULT AVCORE_CALL DeliverVoicePacket(int32_t streamId, const VoicePacket* packet) = 0;
  // The name of the device playback runs on (as GetPlayDeviceName gives it); S_FALSE with
  // an empty name while nothing plays.
  virtual HRESULT AVCORE_CALL GetPlayingDeviceName(wchar_t* name, int32_t capacity) = 0;
};

}  // namespace tessarine
