#include "video_render_manager.h"

#include <atomic>
#include <vector>

#include "avcore/ids.h"
#include "components.h"
#include "framework_log.h"

namespace tessarine {
namespace {

// Render ids are unique in the process and never 0.
avcore::RenderId NextRenderId() {
  static std::atomic<avcore::RenderId> next{1};
  avcore::RenderId id = next++;
  if (id == 0) id = next++;
  return id;
}

}  // namespace

VideoRenderManager::VideoRenderManager() : ComObject(avcore::IID_IVideoRenderManager) {}

VideoRenderManager::~VideoRenderManager() {
  for (auto& [id, render] : renders_) render->Close();
}

std::shared_ptr<VideoRender> VideoRenderManager::Find(avcore::RenderId id) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = renders_.find(id);
  return it == renders_.end() ? nullptr : it->second;
}

HRESULT VideoRenderManager::AddRender(HWND window, const avcore::EventRecord* events, avcore::RenderId* renderId) {
  if (renderId == nullptr || events == nullptr) return E_POINTER;
  *renderId = 0;
  if (events->version != avcore::kEventRecordVersion) return E_INVALIDARG;
  if (window != nullptr && !IsWindow(window)) return E_HANDLE;
  const avcore::RenderId id = NextRenderId();
  auto render = std::make_shared<VideoRender>(id, window, *events);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    renders_[id] = render;
  }
  *renderId = id;
  FW_LOG("render %u added, window %p", id, static_cast<void*>(window));
  return S_OK;
}

HRESULT VideoRenderManager::RemoveRender(avcore::RenderId renderId) {
  std::shared_ptr<VideoRender> render;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = renders_.find(renderId);
    if (it == renders_.end()) return E_INVALIDARG;
    render = it->second;
    renders_.erase(it);
  }
  render->Close();
  FW_LOG("render %u removed", renderId);
  return S_OK;
}

HRESULT VideoRenderManager::SetRenderMode(avcore::RenderId renderId, int32_t mode) {
  auto render = Find(renderId);
  return render ? render->SetMode(mode) : E_INVALIDARG;
}

HRESULT VideoRenderManager::SetRenderWindow(avcore::RenderId renderId, HWND window) {
  auto render = Find(renderId);
  return render ? render->SetWindow(window) : E_INVALIDARG;
}

HRESULT VideoRenderManager::SetRawDataCallback(avcore::RenderId renderId, void* context,
                                               avcore::RenderFrameCallback frameCallback,
                                               avcore::RenderValueCallback valueCallback) {
  auto render = Find(renderId);
  return render ? render->SetCallbacks(context, frameCallback, valueCallback) : E_INVALIDARG;
}

HRESULT VideoRenderManager::PushFrame(avcore::RenderId renderId, const avcore::VideoFrame* frame) {
  if (frame == nullptr) return E_POINTER;
  auto render = Find(renderId);
  return render ? render->Deliver(*frame) : E_INVALIDARG;
}

HRESULT VideoRenderManager::DeliverStream(avcore::RenderId renderId, const avcore::VideoFrame& frame,
                                          const StreamFrameInfo& info) {
  auto render = Find(renderId);
  return render ? render->Deliver(frame, &info) : E_INVALIDARG;
}

HRESULT VideoRenderManager::NotifyRender(avcore::RenderId renderId, int32_t value) {
  auto render = Find(renderId);
  return render ? render->Notify(value) : E_INVALIDARG;
}

HRESULT VideoRenderManager::GetRenderStats(avcore::RenderId renderId, avcore::RenderStats* stats) {
  if (stats == nullptr) return E_POINTER;
  auto render = Find(renderId);
  if (!render) {
    *stats = avcore::RenderStats{};
    return E_INVALIDARG;
  }
  render->Stats(stats);
  return S_OK;
}

void VideoRenderManager::DeliverToAll(const avcore::VideoFrame& frame, const StreamFrameInfo& info) {
  std::vector<std::shared_ptr<VideoRender>> renders;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& [id, render] : renders_) renders.push_back(render);
  }
  for (auto& render : renders) render->Deliver(frame, &info);
}

avcore::IVideoRenderManager* CreateVideoRenderManager() { return new (std::nothrow) VideoRenderManager(); }

}  // namespace tessarine
