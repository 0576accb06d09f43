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
    std::lock_guard<std::mutex> lock(mutex_);
    if (!transport_) return E_FAIL;
    const HRESULT hr = publisher->Publish(media::ScreenPlane{transport_, connection_.get()});
    if (FAILED(hr)) return hr;
    screen_host_.Share(host);
    FW_LOG("media network: publishing the screen");
    return S_OK;
  }
  HRESULT AVCORE_CALL RemoveSource(int32_t mediaType, const char* mediaId) override {
    if (mediaId == nullptr) return E_INVALIDARG;
    if (mediaType == media::kMediaVideo) return video_.RemoveSource(mediaId);
    if (mediaType == media::kMediaAudio && voice_) return voice_->RemoveSource(mediaId);
    if (mediaType == media::kMediaScreen) {
      std::lock_guard<std::mutex> lock(mutex_);
      if (auto* publisher = dynamic_cast<media::IScreenPublisher*>(screen_host_.get())) publisher->Unpublish();
      screen_host_.Reset();
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
    std::lock_guard<std::mutex> lock(mutex_);
    auto* viewers = dynamic_cast<media::IScreenViewers*>(vnc_render_manager_.get());
    if (viewers == nullptr || !transport_) return E_FAIL;
    return viewers->StartReceive(media::ScreenPlane{transport_, connection_.get()}, userId, render);
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
      std::lock_guard<std::mutex> lock(mutex_);
      if (auto* viewers = dynamic_cast<media::IScreenViewers*>(vnc_render_manager_.get())) {
        return viewers->StopReceive(userId);
      }
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
