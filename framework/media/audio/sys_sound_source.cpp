// System-sound source component. Not yet capturing: stopping succeeds, starting answers
// E_NOTIMPL.
#include "avcore/ids.h"
#include "com_object.h"
#include "components.h"

namespace tessarine {
namespace {

class SysSoundSource final : public ComObject<avcore::ISysSoundSource> {
 public:
  SysSoundSource() : ComObject(avcore::IID_ISysSoundSource) {}

  HRESULT AVCORE_CALL Start(avcore::IAvNet*, avcore::IAudioDevice*, avcore::IAecProcessor*,
                            int32_t, const char*) override {
    return E_NOTIMPL;
  }
  HRESULT AVCORE_CALL Stop() override { return S_OK; }
};

}  // namespace

avcore::ISysSoundSource* CreateSysSoundSource() { return new (std::nothrow) SysSoundSource(); }

}  // namespace tessarine
