// One remote user's camera video shown in an application window (the main render) and in
// any number of extended renders, which the stream feeds with the main render's frames.
#pragma once

#include <atomic>
#include <map>

#include "base/system/owned_callback_slot.h"
#include "base/system/w_lock.h"
#include "core/streams/remote_video_stream_base.h"
#include "core/streams/serial_calls.h"

namespace kiv_core {

class RemoteVideoStream : public RemoteVideoStreamBase {
 public:
  RemoteVideoStream(const std::string& userId, const std::string& videoId);
  ~RemoteVideoStream() override;

  bool CanUnSubscribe() override;
  int UnSubscribe() override;
  void GetRenderStats(avcore::RenderStats* stats) override;
  // Sets the main render's window and mode and starts receiving; a null window detaches.
  int SetRender(HWND window, int mode) override;
  // Changes window and mode only; never starts receiving.
  int UpdateRender(HWND window, int mode) override;
  int SetRemoteRawDataCallback(std::unique_ptr<ICoreVideoFrameObserver> observer) override;
  // Adds, changes (window set) or removes (window null) the extended render `id`.
  int SetExtendRender(int id, HWND window, int mode) override;
  int UpdateExtendRender(int id, HWND window, int mode) override;

  avcore::RenderId GetRenderId() const { return m_renderId.load(); }
  bool IsSubscribed() const { return m_subscribed; }

 private:
  struct ExtendRenderEntry {
    HWND window = nullptr;
    int mode = 0;
    avcore::RenderId renderId = 0;
  };

  int CheckSubscribe();
  bool HasExtendRenders();
  void RefreshRawCallbacks();
  void OnFrame(const avcore::VideoFrame* frame);
  int OnValue(int32_t value);

  static int AVCORE_CALLBACK OnRenderEvent(uintptr_t, uintptr_t code, uintptr_t, uintptr_t, void* context);
  static int AVCORE_CALLBACK OnExtendRenderEvent(uintptr_t, uintptr_t, uintptr_t, uintptr_t, void*);
  static int32_t AVCORE_CALLBACK FrameCallback(void* context, const avcore::VideoFrame* frame);
  static int32_t AVCORE_CALLBACK ValueCallback(void* context, int32_t value);

  HWND m_hrender = nullptr;
  int m_renderMode = 3;
  // Cleared by UnSubscribe before the render's removal is asked for.
  std::atomic<avcore::RenderId> m_renderId{0};
  ZORVANTE::WLock m_lock;  // the extended renders' table against the frame callback; held across no call
  // Setting the main render's raw callbacks and removing the renders, one at a time with no
  // lock held: a removal asked for while a thread sets the callbacks is made by that thread
  // after it, so no callback is set on a render already removed, and a frame's observer that
  // asks for either (the framework's calls wait for that frame) does not wait.
  SerialCalls m_renderCalls;
  std::map<int, ExtendRenderEntry> m_extendRenders;
  bool m_subscribed = false;
  avcore::EventRecord m_renderEvents;
  avcore::EventRecord m_extendRenderEvents;
  ZORVANTE::OwnedCallbackSlot<ICoreVideoFrameObserver> m_rawObserver;
};

}  // namespace kiv_core
