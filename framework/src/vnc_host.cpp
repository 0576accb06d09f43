// Screen-share host component. Not yet capturing: stopping succeeds, the rest answers
// E_NOTIMPL.
#include "avcore/ids.h"
#include "com_object.h"
#include "components.h"

namespace tessarine {
namespace {

class VncHost final : public ComObject<avcore::IVncHost> {
 public:
  VncHost() : ComObject(avcore::IID_IVncHost) {}

  HRESULT AVCORE_CALL Initialize(int32_t, const avcore::EventRecord*, avcore::IAvNet*,
                                 avcore::IAudioDevice*) override {
    return E_NOTIMPL;
  }
  HRESULT AVCORE_CALL StartHost(const avcore::VncHostConfig*) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL SetConfig(const avcore::VncHostConfig*) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL Stop() override { return S_OK; }
};

}  // namespace

avcore::IVncHost* CreateVncHost() { return new (std::nothrow) VncHost(); }

}  // namespace tessarine
