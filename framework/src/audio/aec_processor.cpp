// Echo canceller component of the system-sound source. Not yet processing.
#include "avcore/ids.h"
#include "com_object.h"
#include "components.h"

namespace tessarine {
namespace {

class AecProcessor final : public ComObject<avcore::IAecProcessor> {
 public:
  AecProcessor() : ComObject(avcore::IID_IAecProcessor) {}

  HRESULT AVCORE_CALL Init(const WAVEFORMATEX*, const WAVEFORMATEX*) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL Process(const void*, const void*, void*, int32_t) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL Reset() override { return E_NOTIMPL; }
};

}  // namespace

avcore::IAecProcessor* CreateAecProcessor() { return new (std::nothrow) AecProcessor(); }

}  // namespace tessarine
