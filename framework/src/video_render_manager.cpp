// Video render manager component (also the preview render manager of a video device).
// Not yet drawing: no render can be added; removals succeed.
#include "avcore/ids.h"
#include "com_object.h"
#include "components.h"

namespace tessarine {
namespace {

class VideoRenderManager final : public ComObject<avcore::IVideoRenderManager> {
 public:
  VideoRenderManager() : ComObject(avcore::IID_IVideoRenderManager) {}

  HRESULT AVCORE_CALL AddRender(HWND, const avcore::EventRecord*, avcore::RenderId*) override {
    return E_NOTIMPL;
  }
  HRESULT AVCORE_CALL RemoveRender(avcore::RenderId) override { return S_OK; }
  HRESULT AVCORE_CALL SetRenderMode(avcore::RenderId, int32_t) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL SetRenderWindow(avcore::RenderId, HWND) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL SetRawDataCallback(avcore::RenderId, void*, avcore::RenderFrameCallback,
                                         avcore::RenderValueCallback) override {
    return E_NOTIMPL;
  }
  HRESULT AVCORE_CALL PushFrame(avcore::RenderId, const avcore::VideoFrame*) override {
    return E_NOTIMPL;
  }
  HRESULT AVCORE_CALL NotifyRender(avcore::RenderId, int32_t) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL GetRenderStats(avcore::RenderId, avcore::RenderStats*) override {
    return E_NOTIMPL;
  }
};

}  // namespace

avcore::IVideoRenderManager* CreateVideoRenderManager() {
  return new (std::nothrow) VideoRenderManager();
}

}  // namespace tessarine
