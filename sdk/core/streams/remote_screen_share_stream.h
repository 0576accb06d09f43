// Shows another participant's shared screen in an application window through the
// framework's screen-share render manager, and carries the viewer's side of remote
// control. Bad data reported by the viewer restarts it on the message-window thread.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>

#include "avcore/platform.h"
#include "avcore/render.h"
#include "base/system/w_lock.h"
#include "core/streams/remote_video_stream_base.h"

namespace kiv_core {

class RemoteScreenShareStream : public RemoteVideoStreamBase {
 public:
  // `registryLock` is the lock under which the owner destroys its streams (the stream
  // manager's); the posted restart holds it. Null for a stream nobody else destroys.
  RemoteScreenShareStream(const std::string& userId, ZORVANTE::WLock* registryLock);
  ~RemoteScreenShareStream() override;

  bool CanUnSubscribe() override { return m_hrender == nullptr; }
  int UnSubscribe() override;
  void GetRenderStats(avcore::RenderStats* stats) override;
  int SetRender(HWND window, int mode) override;
  int UpdateRender(HWND window, int mode) override;
  // 0 request, 1 cancel: sent to the sharer; other operations 1.
  int RemoteControl(int operation) override;
  // The sharer's answer: 2 accepted, 3 refused.
  void HandleRemoteControlEvent(int type) override;
  int SetRemoteRawDataCallback(std::unique_ptr<ICoreVideoFrameObserver> observer) override;

  int StartReceiveScreenShare();
  int StopReceive();
  void Restart();

  static avcore::VncViewConfig BuildViewConfig(HWND window, bool control, bool remoteControlFlag);
  avcore::RenderId RenderId() const { return m_renderId; }

 private:
  void RemoveViewRender();
  int Reconfigure(bool control);
  static int AVCORE_CALLBACK OnViewerEvent(uintptr_t, uintptr_t, uintptr_t, uintptr_t code, void* context);
  static int32_t AVCORE_CALLBACK OnRawFrame(void* context, const avcore::VideoFrame* frame);

  avcore::RenderId m_renderId = 0;
  int m_viewState = 0;
  std::atomic<bool> m_receiveStarted{false};
  std::atomic<bool> m_stopRequested{false};
  HWND m_hrender = nullptr;
  int m_renderMode = 0;
  avcore::EventRecord m_viewerEvents;
  ZORVANTE::WLock* m_registryLock;
  ZORVANTE::WLock m_rawLock;  // the raw observer against the raw frame callback
  std::unique_ptr<ICoreVideoFrameObserver> m_rawObserver;
};

}  // namespace kiv_core
