// Pitch processor component. Not yet processing: Init answers E_NOTIMPL, so no pitch
// chain starts.
#include "avcore/ids.h"
#include "com_object.h"
#include "components.h"

namespace tessarine {
namespace {

class AudioProcessor final : public ComObject<avcore::IAudioProcessor> {
 public:
  AudioProcessor() : ComObject(avcore::IID_IAudioProcessor) {}

  HRESULT AVCORE_CALL Init(const avcore::AudioProcessorSetup*, int32_t) override {
    return E_NOTIMPL;
  }
  HRESULT AVCORE_CALL SetParam(int32_t, const void*, int32_t) override { return E_NOTIMPL; }
  int32_t AVCORE_CALL GetFrameSize() override { return 0; }
  HRESULT AVCORE_CALL GetParam(int32_t, void*, int32_t) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL Process(avcore::AudioProcessBuffer*) override { return E_NOTIMPL; }
};

}  // namespace

avcore::IAudioProcessor* CreateAudioProcessor() { return new (std::nothrow) AudioProcessor(); }

}  // namespace tessarine
