// Media network component. Initialize binds it to the connection and the device
// components (it holds a reference of each until it is destroyed); publishing and
// receiving are not yet implemented, removals and stops succeed.
#include <mutex>

#include "avcore/ids.h"
#include "com_object.h"
#include "components.h"
#include "fault_switch.h"
#include "framework_log.h"
#include "tspd_channel.h"

namespace tessarine {
namespace {

class AvNet final : public ComObject<avcore::IAvNet> {
 public:
  AvNet() : ComObject(avcore::IID_IAvNet) {}

  HRESULT AVCORE_CALL Initialize(avcore::IKivConnection* connection,
                                 avcore::IAudioDevice* audioDevice,
                                 avcore::IVideoRenderManager* videoRenderManager,
                                 avcore::IVncRenderManager* vncRenderManager,
                                 int32_t flags) override {
    if (FaultRequested("IAvNet.Initialize")) return E_FAIL;
    if (connection == nullptr || audioDevice == nullptr || videoRenderManager == nullptr ||
        vncRenderManager == nullptr) {
      return E_INVALIDARG;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    connection_.Share(connection);
    audio_device_.Share(audioDevice);
    video_render_manager_.Share(videoRenderManager);
    vnc_render_manager_.Share(vncRenderManager);
    FW_LOG("media network initialised, flags %d", flags);
    return S_OK;
  }
  HRESULT AVCORE_CALL AddSource(int32_t, const char*, IUnknown*) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL AddScreenSource(int32_t, const char*, avcore::IVncHost*, int32_t) override {
    return E_NOTIMPL;
  }
  HRESULT AVCORE_CALL RemoveSource(int32_t, const char*) override { return S_OK; }
  HRESULT AVCORE_CALL SetSourceParam(int32_t, const char*, uint8_t) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL StartRecvMedia(const char*, int32_t, const char*, uint32_t) override {
    return E_NOTIMPL;
  }
  HRESULT AVCORE_CALL StartRecvMedia2(const char*, int32_t, const char*, avcore::RenderId,
                                      int32_t) override {
    return E_NOTIMPL;
  }
  HRESULT AVCORE_CALL StopRecvMedia(const char*, int32_t mediaType, const char* mediaId) override {
    if (mediaType == avcore::kMediaBoard && mediaId != nullptr) {
      std::shared_ptr<TspdChannel> channel = Tspd();
      if (channel) (void)channel->Stop(mediaId);
    }
    return S_OK;
  }
  // Transparent data travels on the control connection (tspd_channel.h), keyed by media id.
  HRESULT AVCORE_CALL SubscribeTspd(const char*, uint8_t mediaType, const char* mediaId, const char*,
                                    avcore::ITspDataReceiver* receiver, int32_t) override {
    if (mediaType != avcore::kMediaBoard || mediaId == nullptr) return E_INVALIDARG;
    std::shared_ptr<TspdChannel> channel = Tspd();
    if (!channel) return E_UNEXPECTED;
    return channel->Subscribe(mediaId, receiver);
  }

 private:
  std::shared_ptr<TspdChannel> Tspd() {
    std::lock_guard<std::mutex> lock(mutex_);
    return connection_.get() ? TspdChannelOf(connection_.get()) : nullptr;
  }

  std::mutex mutex_;
  ComPtr<avcore::IKivConnection> connection_;
  ComPtr<avcore::IAudioDevice> audio_device_;
  ComPtr<avcore::IVideoRenderManager> video_render_manager_;
  ComPtr<avcore::IVncRenderManager> vnc_render_manager_;
};

}  // namespace

avcore::IAvNet* CreateAvNet() { return new (std::nothrow) AvNet(); }

}  // namespace tessarine
