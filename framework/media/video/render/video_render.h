// One render of a video render manager: takes frames, hands them to its raw-data
// callback, draws them into its window in its mode and counts them. Frames may come
// from any thread; after Close() returns no callback of the render runs and it draws no
// more.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "avcore/render.h"
#include "call_gate.h"
#include "callback_slot.h"
#include "render_stats_meter.h"

namespace tessarine {

// What the media network knows of a received frame: the stream bytes it took (for the
// bit rate), its glass-to-glass delay and the stream's loss.
struct StreamFrameInfo {
  size_t bytes = 0;
  int32_t delay_ms = 0;
  int32_t lost_per_mille = 0;
};

class VideoRender {
 public:
  VideoRender(avcore::RenderId id, HWND window, const avcore::EventRecord& events);
  VideoRender(const VideoRender&) = delete;
  VideoRender& operator=(const VideoRender&) = delete;

  void Close();

  // E_INVALIDARG for a mode other than 1-3 (see render_geometry.h).
  HRESULT SetMode(int32_t mode);
  // Null detaches the render from any window; frames still reach the callbacks.
  HRESULT SetWindow(HWND window);
  HRESULT SetCallbacks(void* context, avcore::RenderFrameCallback frame, avcore::RenderValueCallback value);
  HRESULT Notify(int32_t value);
  void Stats(avcore::RenderStats* stats) const;

  // E_INVALIDARG for a frame of an unknown FourCC, an impossible size or too few bytes.
  // Without stream information the frame's own bytes count for the bit rate.
  HRESULT Deliver(const avcore::VideoFrame& frame, const StreamFrameInfo* stream = nullptr);

  // Checks a frame without delivering it.
  static HRESULT CheckFrame(const avcore::VideoFrame& frame);

 private:
  struct RawCallbacks {
    void* context = nullptr;
    avcore::RenderFrameCallback frame = nullptr;
    avcore::RenderValueCallback value = nullptr;
  };

  void RedrawLocked();

  const avcore::RenderId id_;
  const avcore::EventRecord events_;
  CallGate gate_;
  CallbackSlot<RawCallbacks> raw_;
  RenderStatsMeter stats_;

  mutable std::mutex mutex_;  // window, mode and the last picture; held while drawing
  HWND window_;
  int32_t mode_ = 3;
  int32_t last_value_ = 0;
  std::vector<uint32_t> picture_;  // the last frame as BGRA
  int32_t picture_width_ = 0;
  int32_t picture_height_ = 0;
  bool first_frame_reported_ = false;
  int32_t delay_ms_ = 0;        // guarded by mutex_
  int32_t lost_per_mille_ = 0;  // guarded by mutex_
};

}  // namespace tessarine
