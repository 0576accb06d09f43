// Audio components beside the device: system-sound source with its echo canceller, the
// pitch processor, the SDK's encoded-audio source, and the remote-audio transcoder.
#pragma once

#include "avcore/audio_device.h"
#include "avcore/platform.h"

namespace avcore {

struct IAvNet;

// Echo canceller of the system-sound source: removes what the device plays from what it
// captures of the system's output. Configured and driven by ISysSoundSource.
struct IAecProcessor : public IUnknown {
  // Formats of the near (captured) and far (played) signals.
  virtual HRESULT AVCORE_CALL Init(const WAVEFORMATEX* nearFormat, const WAVEFORMATEX* farFormat) = 0;
  // One block: `output` receives `length` bytes of the cleaned near signal.
  virtual HRESULT AVCORE_CALL Process(const void* nearData, const void* farData, void* output, int32_t length) = 0;
  virtual HRESULT AVCORE_CALL Reset() = 0;
};

// Captures what the computer plays and publishes it itself.
struct ISysSoundSource : public IUnknown {
  // Publishes on `net` under (1, audioId), cancelling `audioDevice`'s playback with `aec`;
  // `flags` 0.
  virtual HRESULT AVCORE_CALL Start(IAvNet* net, IAudioDevice* audioDevice, IAecProcessor* aec, int32_t flags,
                                    const char* audioId) = 0;
  virtual HRESULT AVCORE_CALL Stop() = 0;
};

#pragma pack(push, 1)
// Set-up record of IAudioProcessor::Init, packed, 37 bytes.
struct AudioProcessorSetup {
  uint8_t mode;         // low byte of the device's kAudioParamProcessorMode
  WAVEFORMATEX input;   // 1
  WAVEFORMATEX output;  // 19
};
#pragma pack(pop)
static_assert(sizeof(AudioProcessorSetup) == 37, "AudioProcessorSetup is 37 bytes");

// One Process call: the whole input frame is consumed; the processor writes at most
// `output_capacity` bytes and sets `output_length`.
struct AudioProcessBuffer {
  const void* input;
  int32_t input_length;
  int32_t reserved;
  void* output;
  int32_t output_capacity;
  int32_t output_length;
};
AVCORE_ASSERT_SIZE32(AudioProcessBuffer, 24);

// Parameters of IAudioProcessor and IAudioEncSource.
enum AudioProcessorParam : int32_t {
  kAudioParamPitch = 4105,  // pitch shift in semitones; 0 = unchanged
};

// The pitch processor.
struct IAudioProcessor : public IUnknown {
  virtual HRESULT AVCORE_CALL Init(const AudioProcessorSetup* setup, int32_t flags) = 0;
  virtual HRESULT AVCORE_CALL SetParam(int32_t param, const void* value, int32_t size) = 0;
  // Bytes of one input frame.
  virtual int32_t AVCORE_CALL GetFrameSize() = 0;
  virtual HRESULT AVCORE_CALL GetParam(int32_t param, void* value, int32_t size) = 0;
  virtual HRESULT AVCORE_CALL Process(AudioProcessBuffer* buffer) = 0;
};

// A source of encoded audio implemented by the SDK and published with IAvNet::AddSource.
// AddRef/Release count nothing; QueryInterface answers only IID_IAudioEncSource.
struct IAudioEncSource : public IUnknown {
  // The network registers where the source's audio goes.
  virtual HRESULT AVCORE_CALL AddDataSink(IAudioDataSink* sink, void* context) = 0;
  virtual HRESULT AVCORE_CALL RemoveDataSink(IAudioDataSink* sink) = 0;
  virtual HRESULT AVCORE_CALL SetParam(int32_t param, const int32_t* value, int32_t size) = 0;
  // Passed to the source's processor (IAudioProcessor::GetParam).
  virtual HRESULT AVCORE_CALL ProcessorCall(int32_t param, void* value, int32_t size) = 0;
  // Framework notice with one value; the source answers 0.
  virtual HRESULT AVCORE_CALL Notify(int32_t value) = 0;
};

// Decodes remote-audio packets (6-byte header, 1-3 equal 20 ms frames) to PCM.
struct IAudioTranscoder : public IUnknown {
  // `codec` and `flags` 0 (any input codec); `output` the PCM format wanted.
  virtual HRESULT AVCORE_CALL Init(int32_t codec, int32_t flags, const WAVEFORMATEX* output) = 0;
  virtual HRESULT AVCORE_CALL Uninit() = 0;
  virtual HRESULT AVCORE_CALL Transcode(const void* packet, int32_t length) = 0;
  // Copies the last output (a 6-byte header of the packet's form, then PCM) into
  // `buffer`; returns the bytes written, 0 when there is none.
  virtual int32_t AVCORE_CALL GetOutput(void* buffer, int32_t capacity) = 0;
};

}  // namespace avcore
