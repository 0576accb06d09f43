// Pitch processor component: 20 ms frames of the device's working format (48 kHz mono
// 16-bit) in, shifted by the pitch parameter (semitones) and encoded to Opus: each
// Process call gives at most one Opus packet, which the media network sends as is.
#include <cstring>
#include <memory>
#include <mutex>

#include "avcore/ids.h"
#include "com_object.h"
#include "components.h"
#include "framework_log.h"
#include "opus_voice_codec.h"
#include "pitched_voice_encoder.h"

namespace tessarine {
namespace {

constexpr int32_t kFrameBytes = static_cast<int32_t>(kVoiceFrameSamples * 2);

bool IsWorkingFormat(const WAVEFORMATEX& f) {
  return f.wFormatTag == WAVE_FORMAT_PCM && f.nChannels == 1 &&
         f.nSamplesPerSec == static_cast<DWORD>(kVoiceSampleRate) && f.wBitsPerSample == 16;
}

class AudioProcessor final : public ComObject<avcore::IAudioProcessor> {
 public:
  AudioProcessor() : ComObject(avcore::IID_IAudioProcessor) {}

  HRESULT AVCORE_CALL Init(const avcore::AudioProcessorSetup* setup, int32_t flags) override {
    if (setup == nullptr) return E_POINTER;
    if (flags != 0 || !IsWorkingFormat(setup->input) || !IsWorkingFormat(setup->output)) {
      FW_LOG("audio processor %p: input/output must be 48000 Hz mono 16-bit PCM", static_cast<void*>(this));
      return E_INVALIDARG;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    const int32_t semitones = shifter_ ? shifter_->semitones() : pending_semitones_;
    shifter_ = std::make_unique<PitchedVoiceEncoder>();
    shifter_->SetSemitones(semitones);
    return S_OK;
  }

  HRESULT AVCORE_CALL SetParam(int32_t param, const void* value, int32_t size) override {
    if (value == nullptr) return E_POINTER;
    if (param != avcore::kAudioParamPitch || size != 4) return E_INVALIDARG;
    int32_t semitones;
    std::memcpy(&semitones, value, sizeof(semitones));
    if (semitones < -PitchedVoiceEncoder::kMaxSemitones || semitones > PitchedVoiceEncoder::kMaxSemitones) {
      return E_INVALIDARG;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    pending_semitones_ = semitones;
    if (shifter_) shifter_->SetSemitones(semitones);
    return S_OK;
  }

  int32_t AVCORE_CALL GetFrameSize() override { return kFrameBytes; }

  HRESULT AVCORE_CALL GetParam(int32_t param, void* value, int32_t size) override {
    if (value == nullptr) return E_POINTER;
    if (param != avcore::kAudioParamPitch || size != 4) return E_INVALIDARG;
    std::lock_guard<std::mutex> lock(mutex_);
    const int32_t semitones = shifter_ ? shifter_->semitones() : pending_semitones_;
    std::memcpy(value, &semitones, sizeof(semitones));
    return S_OK;
  }

  HRESULT AVCORE_CALL Process(avcore::AudioProcessBuffer* buffer) override {
    if (buffer == nullptr || buffer->input == nullptr || buffer->output == nullptr) return E_POINTER;
    buffer->output_length = 0;
    if (buffer->input_length != kFrameBytes || buffer->output_capacity <= 0) return E_INVALIDARG;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!shifter_) return E_UNEXPECTED;
    int16_t pcm[kVoiceFrameSamples];
    std::memcpy(pcm, buffer->input, sizeof(pcm));
    if (!shifter_->Process(pcm, &packet_)) return S_FALSE;  // still filling
    if (packet_.size() > static_cast<size_t>(buffer->output_capacity)) return E_OUTOFMEMORY;
    std::memcpy(buffer->output, packet_.data(), packet_.size());
    buffer->output_length = static_cast<int32_t>(packet_.size());
    return S_OK;
  }

 private:
  std::mutex mutex_;
  std::unique_ptr<PitchedVoiceEncoder> shifter_;
  int32_t pending_semitones_ = 0;
  std::vector<uint8_t> packet_;
};

}  // namespace

avcore::IAudioProcessor* CreateAudioProcessor() { return new (std::nothrow) AudioProcessor(); }

}  // namespace tessarine
