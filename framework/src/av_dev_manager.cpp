// Device and plug-in manager component. Not yet managing plug-ins: no plug-in can be
// added, removals succeed, the capture list is empty.
#include "avcore/ids.h"
#include "com_object.h"
#include "components.h"

namespace tessarine {
namespace {

class AVDevManager final : public ComObject<avcore::IAVDevManager> {
 public:
  AVDevManager() : ComObject(avcore::IID_IAVDevManager) {}

  HRESULT AVCORE_CALL SetupRtspVideoPlugins(int32_t) override { return E_NOTIMPL; }
  int32_t AVCORE_CALL AddVideoPlugin(const char*, const char*, int32_t) override { return -1; }
  HRESULT AVCORE_CALL RemoveVideoPlugin(int32_t) override { return S_OK; }
  HRESULT AVCORE_CALL AddAudioPlugin(avcore::IAVPlugin*, const wchar_t*) override {
    return E_NOTIMPL;
  }
  HRESULT AVCORE_CALL RemoveAudioPlugin(avcore::IAVPlugin*) override { return S_OK; }
  int32_t AVCORE_CALL GetAudioCaptureDeviceCount() override { return 0; }
  HRESULT AVCORE_CALL GetAudioCaptureDeviceInfo(int32_t, wchar_t*, int32_t) override {
    return E_INVALIDARG;
  }
};

}  // namespace

avcore::IAVDevManager* CreateAVDevManager() { return new (std::nothrow) AVDevManager(); }

}  // namespace tessarine
