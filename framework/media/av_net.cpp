// Media network component. Initialize binds it to the connection and the device
// components (it holds a reference of each until it is destroyed) and to the
// connection's media transport. Video (media type 2) is published and received by the
// video network, audio (media type 1) by the voice network, the screen (media type 0,
// id "0") by the screen-share host and the viewers of the screen-share render manager.
#include <memory>
#include <mutex>
#include <string>

#include "avcore/ids.h"
#include "com_object.h"
#include "components.h"
#include "fault_switch.h"
#include "framework_log.h"
#include "media_transport.h"
#include "screen_plane.h"
#include "tspd_channel.h"
#include "video_network.h"
#include "voice_net.h"

namespace tessarine {
namespace {

class AvNet final : public ComObject<avcore::IAvNet> {
 public:
  AvNet() : ComObject(avcore::IID_IAvNet) {}
  ~AvNet() override {
    if (auto* publisher = dynamic_cast<media::IScreenPublisher*>(screen_host_.get())) publisher->Unpublish();
    video_.Close();
    voice_.reset();
  }

  HRESULT AVCORE_CALL Initialize(avcore::IKivConnection* connection, avcore::IAudioDevice* audioDevice,
                                 avcore::IVideoRenderManager* videoRenderManager,
                                 avcore::IVncRenderManager* vncRenderManager, int32_t flags) override {
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
    transport_ = media::MediaTransportFor(connection);
    if (!transport_) FW_LOG("media network: no media transport for this connection");
    video_.Bind(transport_, videoRenderManager);
    voice_ = std::make_unique<VoiceNet>(transport_, audioDevice);
    FW_LOG("media network initialised, flags %d", flags);
    return S_OK;
  }
  HRESULT AVCORE_CALL AddSource(int32_t mediaType, const char* mediaId, IUnknown* source) override {
    if (mediaId == nullptr || source == nullptr) return E_INVALIDARG;
    if (mediaType == media::kMediaVideo) return video_.AddSource(mediaId, source);
    if (mediaType == media::kMediaAudio) return voice_ ? voice_->AddSource(mediaId, source) : E_UNEXPECTED;
    return E_NOTIMPL;
  }
  HRESULT AVCORE_CALL AddScreenSource(int32_t mediaType, const char* mediaId, avcore::IVncHost* host,
                                      int32_t) override {
    if (mediaType != media::kMediaScreen || mediaId == nullptr || host == nullptr) return E_INVALIDARG;
    auto* publisher = dynamic_cast<media::IScreenPublisher*>(host);
    if (publisher == nullptr) return E_NOINTERFACE;
    const media::ScreenPlane plane = Plane();
    if (!plane.transport) return E_FAIL;
    // Without the lock: publishing stops a previous publication, which waits for its calls.
    const HRESULT hr = publisher->Publish(plane);
    if (FAILED(hr)) return hr;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      screen_host_.Share(host);
    }
    FW_LOG("media network: publishing the screen");
    return S_OK;
  }
  HRESULT AVCORE_CALL RemoveSource(int32_t mediaType, const char* mediaId) override {
    if (mediaId == nullptr) return E_INVALIDARG;
    if (mediaType == media::kMediaVideo) return video_.RemoveSource(mediaId);
    if (mediaType == media::kMediaAudio && voice_) return voice_->RemoveSource(mediaId);
    if (mediaType == media::kMediaScreen) {
      ComRef<avcore::IVncHost> host;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        host = std::move(screen_host_);
      }
      if (auto* publisher = dynamic_cast<media::IScreenPublisher*>(host.get())) publisher->Unpublish();
    }
    return S_OK;
  }
  HRESULT AVCORE_CALL SetSourceParam(int32_t mediaType, const char* mediaId, uint8_t value) override {
    if (mediaId == nullptr) return E_INVALIDARG;
    if (mediaType == media::kMediaVideo) return video_.SetSourceParam(mediaId, value);
    return E_NOTIMPL;
  }
  HRESULT AVCORE_CALL StartRecvMedia(const char* userId, int32_t mediaType, const char* mediaId,
                                     uint32_t target) override {
    if (userId == nullptr || mediaId == nullptr) return E_INVALIDARG;
    if (mediaType == media::kMediaVideo) return video_.StartReceive(userId, mediaId, target);
    if (mediaType == media::kMediaAudio) return voice_ ? voice_->StartRecv(userId, mediaId, target) : E_UNEXPECTED;
    return E_NOTIMPL;
  }
  HRESULT AVCORE_CALL StartRecvMedia2(const char* userId, int32_t mediaType, const char* mediaId,
                                      avcore::RenderId render, int32_t) override {
    if (userId == nullptr || mediaId == nullptr || mediaType != media::kMediaScreen || render == 0) {
      return E_INVALIDARG;
    }
    // Without the lock: starting stops the viewer's previous reception, which waits for the
    // picture in flight, and that may be in the SDK's callback.
    ComRef<avcore::IVncRenderManager> manager = VncRenderManager();
    auto* viewers = dynamic_cast<media::IScreenViewers*>(manager.get());
    const media::ScreenPlane plane = Plane();
    if (viewers == nullptr || !plane.transport) return E_FAIL;
    return viewers->StartReceive(plane, userId, render);
  }
  HRESULT AVCORE_CALL StopRecvMedia(const char* userId, int32_t mediaType, const char* mediaId) override {
    if (mediaType == avcore::kMediaBoard) {
      std::shared_ptr<TspdChannel> channel = mediaId != nullptr ? Tspd() : nullptr;
      if (channel) (void)channel->Stop(mediaId);
      return S_OK;
    }
    if (userId == nullptr || mediaId == nullptr) return E_INVALIDARG;
    if (mediaType == media::kMediaVideo) return video_.StopReceive(userId, mediaId);
    if (mediaType == media::kMediaAudio && voice_) return voice_->StopRecv(userId, mediaId);
    if (mediaType == media::kMediaScreen) {
      ComRef<avcore::IVncRenderManager> manager = VncRenderManager();
      if (auto* viewers = dynamic_cast<media::IScreenViewers*>(manager.get())) return viewers->StopReceive(userId);
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
  // What a screen publication or reception travels on, taken under the lock.
  media::ScreenPlane Plane() {
    std::lock_guard<std::mutex> lock(mutex_);
    return media::ScreenPlane{transport_, connection_.get()};
  }
  ComRef<avcore::IVncRenderManager> VncRenderManager() {
    ComRef<avcore::IVncRenderManager> manager;
    std::lock_guard<std::mutex> lock(mutex_);
    manager.Share(vnc_render_manager_.get());
    return manager;
  }
  std::shared_ptr<TspdChannel> Tspd() {
    std::lock_guard<std::mutex> lock(mutex_);
    return connection_.get() ? TspdChannelOf(connection_.get()) : nullptr;
  }

  std::mutex mutex_;
  ComRef<avcore::IKivConnection> connection_;
  ComRef<avcore::IAudioDevice> audio_device_;
  ComRef<avcore::IVideoRenderManager> video_render_manager_;
  ComRef<avcore::IVncRenderManager> vnc_render_manager_;
  ComRef<avcore::IVncHost> screen_host_;  // the published screen, if any
  std::shared_ptr<media::IMediaTransport> transport_;
  media::VideoNetwork video_;
  std::unique_ptr<VoiceNet> voice_;  // made by Initialize
};

}  // namespace

avcore::IAvNet* CreateAvNet() { return new (std::nothrow) AvNet(); }

}  // namespace tessarine
