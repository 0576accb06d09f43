// Remote-audio transcoder component: remote-audio packets of Opus frames decoded to the
// PCM format given to Init (mono 16-bit, 8000, 16000 or 48000 Hz); the output is a 6-byte
// header (the packet's timestamp, the output's rate code) followed by the PCM.
#include <mutex>

#include "avcore/ids.h"
#include "com_object.h"
#include "components.h"
#include "framework_log.h"
#include "remote_audio_transcoder.h"

namespace tessarine {
namespace {

class AudioTranscoder final : public ComObject<avcore::IAudioTranscoder> {
 public:
  AudioTranscoder() : ComObject(avcore::IID_IAudioTranscoder) {}

  HRESULT AVCORE_CALL Init(int32_t codec, int32_t flags, const WAVEFORMATEX* output) override {
    if (output == nullptr) return E_POINTER;
    if (codec != 0 || flags != 0 || output->wFormatTag != WAVE_FORMAT_PCM) return E_INVALIDARG;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!transcoder_.Init(output->nChannels, static_cast<int32_t>(output->nSamplesPerSec), output->wBitsPerSample)) {
      FW_LOG("audio transcoder %p: no PCM output of %u Hz, %u channels, %u bits", static_cast<void*>(this),
             static_cast<unsigned>(output->nSamplesPerSec), static_cast<unsigned>(output->nChannels),
             static_cast<unsigned>(output->wBitsPerSample));
      return E_INVALIDARG;
    }
    return S_OK;
  }

  HRESULT AVCORE_CALL Uninit() override {
    std::lock_guard<std::mutex> lock(mutex_);
    transcoder_.Uninit();
    return S_OK;
  }

  HRESULT AVCORE_CALL Transcode(const void* packet, int32_t length) override {
    if (packet == nullptr) return E_POINTER;
    if (length <= 0) return E_INVALIDARG;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!transcoder_.ready()) return E_UNEXPECTED;
    // Another codec, or a malformed packet: no output (S_FALSE).
    return transcoder_.Transcode(static_cast<const uint8_t*>(packet), static_cast<size_t>(length)) ? S_OK : S_FALSE;
  }

  int32_t AVCORE_CALL GetOutput(void* buffer, int32_t capacity) override {
    if (buffer == nullptr || capacity <= 0) return 0;
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int32_t>(transcoder_.TakeOutput(static_cast<uint8_t*>(buffer), static_cast<size_t>(capacity)));
  }

 private:
  std::mutex mutex_;
  RemoteAudioTranscoder transcoder_;
};

}  // namespace

avcore::IAudioTranscoder* CreateAudioTranscoder() { return new (std::nothrow) AudioTranscoder(); }

}  // namespace tessarine
