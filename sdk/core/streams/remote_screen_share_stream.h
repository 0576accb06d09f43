// Shows another participant's shared screen in an application window through the
// framework's screen-share render manager, and carries the viewer's side of remote
// control. Bad data reported by the viewer restarts it on the message-window thread.
// The framework's callbacks reach the stream through an id (StreamRegistry), never a
// pointer: a callback that comes after the stream went finds nothing. The viewer's
// framework calls (StreamTurns) run one at a time with no lock held.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "avcore/platform.h"
#include "avcore/render.h"
#include "base/system/owned_callback_slot.h"
#include "core/streams/remote_video_stream_base.h"
#include "core/streams/stream_turns.h"

namespace kiv_core {

class RemoteScreenShareStream : public RemoteVideoStreamBase,
                                public std::enable_shared_from_this<RemoteScreenShareStream> {
 public:
  static std::shared_ptr<RemoteScreenShareStream> Make(const std::string& userId);
  ~RemoteScreenShareStream() override;

  bool CanUnSubscribe() override { return m_hrender.load() == nullptr; }
  int UnSubscribe() override;
  void GetRenderStats(avcore::RenderStats* stats) override;
  int SetRender(HWND window, int mode) override;
  int UpdateRender(HWND window, int mode) override;
  // 0 request, 1 cancel: sent to the sharer; other operations 1.
  int RemoteControl(int operation) override;
  // The sharer's answer: 2 accepted, 3 refused.
  void HandleRemoteControlEvent(int type) override;
  int SetRemoteRawDataCallback(std::unique_ptr<ICoreVideoFrameObserver> observer) override;
  void DropRawObserver() override;

  int Restart();

  static avcore::VncViewConfig BuildViewConfig(HWND window, bool control, bool remoteControlFlag);
  avcore::RenderId RenderId() const { return m_renderId; }

 private:
  explicit RemoteScreenShareStream(const std::string& userId);
  template <class Fn>
  int Serial(Fn fn);
  int DoSetRender(HWND window, int mode);
  int StartReceiveScreenShare();
  int StopReceive();
  void RemoveViewRender();
  // Sets the viewer's raw callback while an observer is registered, clears it otherwise.
  void RefreshRawCallback();
  int Reconfigure(bool control);
  static int AVCORE_CALLBACK OnViewerEvent(uintptr_t, uintptr_t, uintptr_t, uintptr_t code, void* context);
  static int32_t AVCORE_CALLBACK OnRawFrame(void* context, const avcore::VideoFrame* frame);

  const uintptr_t m_id;  // the framework callbacks' context
  std::atomic<avcore::RenderId> m_renderId{0};
  std::atomic<int> m_viewState{0};
  std::atomic<bool> m_receiveStarted{false};
  std::atomic<bool> m_stopRequested{false};
  // The window asked for (set at once) and the one the viewer was made for (by the
  // operation running).
  std::atomic<HWND> m_hrender{nullptr};
  HWND m_viewWindow = nullptr;
  int m_renderMode = 0;
  avcore::EventRecord m_viewerEvents;
  StreamTurns m_turns;
  ZORVANTE::OwnedCallbackSlot<ICoreVideoFrameObserver> m_rawObserver;
};

}  // namespace kiv_core
