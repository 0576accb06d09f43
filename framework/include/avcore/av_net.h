// The media network: publishing local sources, receiving remote media, and the
// transparent-data channel of a medium.
#pragma once

#include "avcore/platform.h"

namespace avcore {

struct IKivConnection;
struct IAudioDevice;
struct IVideoRenderManager;
struct IVncRenderManager;
struct IVncHost;

// The framework's sender of one transparent-data stream, attached to a receiver when the
// channel is ready. Not reference counted by its users.
struct ITspdSender : public IUnknown {
  // Sends `length` bytes; `flags` 0. 0 = sent.
  virtual HRESULT AVCORE_CALL SendData(const void* data, int32_t length, int32_t flags) = 0;
};

// The SDK's receiver of one transparent-data stream. Its AddRef/Release count nothing and
// its QueryInterface answers only IID_ITspDataReceiver: the framework never relies on
// them. All operations return 0 unless stated.
struct ITspDataReceiver : public IUnknown {
  virtual int32_t AVCORE_CALL GetStreamIndex() = 0;
  // The channel is ready: SendData through `sender` until DetachSender.
  virtual int32_t AVCORE_CALL AttachSender(ITspdSender* sender) = 0;
  virtual int32_t AVCORE_CALL DetachSender(ITspdSender* sender) = 0;
  virtual int32_t AVCORE_CALL OnTspData(const void* data, int32_t length) = 0;
};

struct IAvNet : public IUnknown {
  // Binds the network to the connection and the device components; `flags` 0.
  virtual HRESULT AVCORE_CALL Initialize(IKivConnection* connection, IAudioDevice* audioDevice,
                                         IVideoRenderManager* videoRenderManager, IVncRenderManager* vncRenderManager,
                                         int32_t flags) = 0;
  // Publishes a local source under (media type, media id): an IAudioDevice, an
  // IAudioEncSource (type 1) or an IVideoDevice (type 2). The network keeps one reference
  // only of framework objects; an SDK object must stay alive until RemoveSource.
  virtual HRESULT AVCORE_CALL AddSource(int32_t mediaType, const char* mediaId, IUnknown* source) = 0;
  // The screen source: (0, "0", host, 0).
  virtual HRESULT AVCORE_CALL AddScreenSource(int32_t mediaType, const char* mediaId, IVncHost* host,
                                              int32_t flags) = 0;
  virtual HRESULT AVCORE_CALL RemoveSource(int32_t mediaType, const char* mediaId) = 0;
  // Per-source switch; for video, 1 = adapt to the network's bandwidth.
  virtual HRESULT AVCORE_CALL SetSourceParam(int32_t mediaType, const char* mediaId, uint8_t value) = 0;
  // Receives (user, media type, media id) into `target`: a render id of the video render
  // manager (type 2) or a playback stream id of IAudioDevice::CreateAudioStream (type 1).
  virtual HRESULT AVCORE_CALL StartRecvMedia(const char* userId, int32_t mediaType, const char* mediaId,
                                             uint32_t target) = 0;
  // A screen share into a viewer of the VNC render manager: (user, 0, "0", render id, 0).
  virtual HRESULT AVCORE_CALL StartRecvMedia2(const char* userId, int32_t mediaType, const char* mediaId,
                                              RenderId renderId, int32_t flags) = 0;
  // Also ends a transparent-data subscription (media type 4). After it returns the
  // receiver or render of that medium is not called again.
  virtual HRESULT AVCORE_CALL StopRecvMedia(const char* userId, int32_t mediaType, const char* mediaId) = 0;
  // Subscribes `receiver` to the transparent data of `mediaId` (type 4). `userId` and
  // `owner` may be "": the medium is keyed by its id. `flags` 0.
  virtual HRESULT AVCORE_CALL SubscribeTspd(const char* userId, uint8_t mediaType, const char* mediaId,
                                            const char* owner, ITspDataReceiver* receiver, int32_t flags) = 0;
};

}  // namespace avcore
