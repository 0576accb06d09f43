// Remote-audio transcoder component. Not yet decoding: no output is ever produced.
#include "avcore/ids.h"
#include "com_object.h"
#include "components.h"

namespace tessarine {
namespace {

class AudioTranscoder final : public ComObject<avcore::IAudioTranscoder> {
 public:
  AudioTranscoder() : ComObject(avcore::IID_IAudioTranscoder) {}

  HRESULT AVCORE_CALL Init(int32_t, int32_t, const WAVEFORMATEX*) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL Uninit() override { return S_OK; }
  HRESULT AVCORE_CALL Transcode(const void*, int32_t) override { return E_NOTIMPL; }
  int32_t AVCORE_CALL GetOutput(void*, int32_t) override { return 0; }
};

}  // namespace

avcore::IAudioTranscoder* CreateAudioTranscoder() { return new (std::nothrow) AudioTranscoder(); }

}  // namespace tessarine
