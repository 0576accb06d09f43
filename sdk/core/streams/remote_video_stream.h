// One remote user's camera video shown in an application window (the main render) and in
// any number of extended renders, which the stream feeds with the main render's frames.
// The render state (window, mode, render ids, subscription, extended renders) is read and
// written under the stream's lock; the framework's calls on the renders are made in turn
// (StreamTurns) with no lock held. The renders' callbacks reach the stream through an id
// (StreamRegistry) and own it for the call, so none reaches a stream that went.
#pragma once

#include <map>
#include <memory>

#include "base/system/owned_callback_slot.h"
#include "base/system/w_lock.h"
#include "core/streams/remote_video_stream_base.h"
#include "core/streams/stream_turns.h"

namespace kiv_core {

class RemoteVideoStream : public RemoteVideoStreamBase, public std::enable_shared_from_this<RemoteVideoStream> {
 public:
  static std::shared_ptr<RemoteVideoStream> Make(const std::string& userId, const std::string& videoId);
  ~RemoteVideoStream() override;

  bool CanUnSubscribe() override;
  // Asked for while another thread is at work on the renders, the removal is made by that
  // thread after its own work.
  int UnSubscribe() override;
  // Asks the framework for the main render's figures (a call that waits for nothing).
  void GetRenderStats(avcore::RenderStats* stats) override;
  // Sets the main render's window and mode and starts receiving; a null window detaches.
  int SetRender(HWND window, int mode) override;
  // Changes window and mode only; never starts receiving.
  int UpdateRender(HWND window, int mode) override;
  int SetRemoteRawDataCallback(std::unique_ptr<ICoreVideoFrameObserver> observer) override;
  void DropRawObserver() override;
  // Adds, changes (window set) or removes (window null) the extended render `id`.
  int SetExtendRender(int id, HWND window, int mode) override;
  int UpdateExtendRender(int id, HWND window, int mode) override;

  avcore::RenderId GetRenderId();
  bool IsSubscribed();

 private:
  struct ExtendRenderEntry {
    HWND window = nullptr;
    int mode = 0;
    avcore::RenderId renderId = 0;
  };

  RemoteVideoStream(const std::string& userId, const std::string& videoId);
  template <class Fn>
  int Turn(Fn fn);
  // In turn.
  int DoSetRender(HWND window, int mode);
  int DoUpdateRender(HWND window, int mode);
  int DoCheckSubscribe();
  int DoUnSubscribe();
  int DoSetExtendRender(int id, HWND window, int mode);
  int DoUpdateExtendRender(int id, HWND window, int mode);
  void DoRefreshRawCallbacks();

  void OnFrame(const avcore::VideoFrame* frame);
  int OnValue(int32_t value);
  static int AVCORE_CALLBACK OnRenderEvent(uintptr_t, uintptr_t code, uintptr_t, uintptr_t, void* context);
  static int AVCORE_CALLBACK OnExtendRenderEvent(uintptr_t, uintptr_t, uintptr_t, uintptr_t, void*);
  static int32_t AVCORE_CALLBACK FrameCallback(void* context, const avcore::VideoFrame* frame);
  static int32_t AVCORE_CALLBACK ValueCallback(void* context, int32_t value);

  const uintptr_t m_id;    // the renders' callbacks' context
  ZORVANTE::WLock m_lock;  // the render state below; held across no call
  HWND m_hrender = nullptr;
  int m_renderMode = 3;
  avcore::RenderId m_renderId = 0;
  bool m_subscribed = false;
  std::map<int, ExtendRenderEntry> m_extendRenders;
  StreamTurns m_turns;
  avcore::EventRecord m_renderEvents;
  avcore::EventRecord m_extendRenderEvents;
  ZORVANTE::OwnedCallbackSlot<ICoreVideoFrameObserver> m_rawObserver;
};

}  // namespace kiv_core
