// Screen-share render manager component. Not yet viewing: no viewer can be added;
// removals succeed.
#include "avcore/ids.h"
#include "com_object.h"
#include "components.h"

namespace tessarine {
namespace {

class VncRenderManager final : public ComObject<avcore::IVncRenderManager> {
 public:
  VncRenderManager() : ComObject(avcore::IID_IVncRenderManager) {}

  HRESULT AVCORE_CALL AddRender2(HWND, const avcore::EventRecord*, avcore::RenderId*,
                                 const avcore::VncViewConfig*) override {
    return E_NOTIMPL;
  }
  HRESULT AVCORE_CALL RemoveRender(avcore::RenderId) override { return S_OK; }
  HRESULT AVCORE_CALL SetViewConfig(avcore::RenderId, const avcore::VncViewConfig*) override {
    return E_NOTIMPL;
  }
  HRESULT AVCORE_CALL GetRenderStats(avcore::RenderId, avcore::RenderStats*) override {
    return E_NOTIMPL;
  }
  HRESULT AVCORE_CALL SetRawDataCallback(avcore::RenderId, void*, avcore::RenderFrameCallback,
                                         avcore::RenderValueCallback) override {
    return E_NOTIMPL;
  }
};

}  // namespace

avcore::IVncRenderManager* CreateVncRenderManager() {
  return new (std::nothrow) VncRenderManager();
}

}  // namespace tessarine
