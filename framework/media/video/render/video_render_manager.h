// Video render manager component: renders (video_render.h) by id. The main manager's
// renders take frames through PushFrame (and from the media network); a video device's
// preview manager also draws every frame the device captures into all its renders.
#pragma once

#include <map>
#include <memory>
#include <mutex>

#include "avcore/render.h"
#include "com_object.h"
#include "video_render.h"

namespace tessarine {

class VideoRenderManager final : public ComObject<avcore::IVideoRenderManager> {
 public:
  VideoRenderManager();
  ~VideoRenderManager() override;

  HRESULT AVCORE_CALL AddRender(HWND window, const avcore::EventRecord* events, avcore::RenderId* renderId) override;
  HRESULT AVCORE_CALL RemoveRender(avcore::RenderId renderId) override;
  HRESULT AVCORE_CALL SetRenderMode(avcore::RenderId renderId, int32_t mode) override;
  HRESULT AVCORE_CALL SetRenderWindow(avcore::RenderId renderId, HWND window) override;
  HRESULT AVCORE_CALL SetRawDataCallback(avcore::RenderId renderId, void* context,
                                         avcore::RenderFrameCallback frameCallback,
                                         avcore::RenderValueCallback valueCallback) override;
  HRESULT AVCORE_CALL PushFrame(avcore::RenderId renderId, const avcore::VideoFrame* frame) override;
  HRESULT AVCORE_CALL NotifyRender(avcore::RenderId renderId, int32_t value) override;
  HRESULT AVCORE_CALL GetRenderStats(avcore::RenderId renderId, avcore::RenderStats* stats) override;

  // A received stream's frame for one render (the media network).
  HRESULT DeliverStream(avcore::RenderId renderId, const avcore::VideoFrame& frame, const StreamFrameInfo& info);
  // Hands a frame to every render (a preview of the capturing device), with the stream
  // bytes that were sent for it.
  void DeliverToAll(const avcore::VideoFrame& frame, const StreamFrameInfo& info);

 private:
  std::shared_ptr<VideoRender> Find(avcore::RenderId id);

  std::mutex mutex_;
  std::map<avcore::RenderId, std::shared_ptr<VideoRender>> renders_;
};

}  // namespace tessarine
