// Video capture device component. Not yet capturing: the camera list is empty,
// re-enumeration and stops succeed, the rest answers E_NOTIMPL. Its preview render
// manager is answered by QueryInterface(IID_IVideoRenderManager).
#include <mutex>

#include "avcore/ids.h"
#include "com_object.h"
#include "components.h"

namespace tessarine {
namespace {

class VideoDevice final : public ComObject<avcore::IVideoDevice> {
 public:
  VideoDevice() : ComObject(avcore::IID_IVideoDevice) {}

  int32_t AVCORE_CALL EnumDevices(avcore::VideoDeviceEntry*, int32_t capacity) override {
    return capacity < 0 ? E_INVALIDARG : 0;
  }
  HRESULT AVCORE_CALL ReEnumerate() override { return S_OK; }
  HRESULT AVCORE_CALL GetDeviceName(int32_t, wchar_t*, int32_t) override { return E_INVALIDARG; }
  HRESULT AVCORE_CALL GetParam(avcore::VideoCaptureParam*) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL SetParam(const avcore::VideoCaptureParam*) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL StartCapture(const avcore::VideoCaptureParam*) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL StopCapture() override { return S_OK; }
  HRESULT AVCORE_CALL SetRawDataCallback(void*, avcore::VideoFrameCallback callback) override {
    return callback == nullptr ? S_OK : E_NOTIMPL;
  }

 protected:
  HRESULT QueryOther(REFIID iid, void** object) override {
    if (iid != avcore::IID_IVideoRenderManager) return E_NOINTERFACE;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!preview_) {
      avcore::IVideoRenderManager* preview = CreateVideoRenderManager();
      if (preview == nullptr) return E_OUTOFMEMORY;
      preview_ = ComPtr<avcore::IVideoRenderManager>(preview);
    }
    preview_->AddRef();
    *object = preview_.get();
    return S_OK;
  }

 private:
  std::mutex mutex_;
  ComPtr<avcore::IVideoRenderManager> preview_;
};

}  // namespace

avcore::IVideoDevice* CreateVideoDevice() { return new (std::nothrow) VideoDevice(); }

}  // namespace tessarine
