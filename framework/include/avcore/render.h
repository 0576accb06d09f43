// Render managers: video renders into windows, and screen-share viewers.
#pragma once

#include "avcore/platform.h"
#include "avcore/video_device.h"

namespace avcore {

// Render statistics, six 32-bit words.
struct RenderStats {
  int32_t frame_rate;  // 0: frames per second drawn
  int32_t bitrate;     // 1: bits per second received
  int32_t lost_rate;   // 2: packets lost, per thousand
  int32_t width;       // 3
  int32_t height;      // 4
  int32_t delay_ms;    // 5: end-to-end delay estimate
};
static_assert(sizeof(RenderStats) == 24, "RenderStats is six words");

// Render modes: how a frame fills its window.
enum RenderMode : int32_t {
  kRenderScaleFill = 1,   // whole frame over the whole window, aspect ignored
  kRenderAspectCrop = 2,  // window filled, aspect kept, the frame's overhang cut
  kRenderAspectFit = 3,   // whole frame, aspect kept, centred between bars
};

// Video render event codes (second argument of the render's AvEventProc).
enum RenderEvent : int32_t {
  kRenderEventFirstFrame = 4097,  // the first frame was drawn
};

// Screen-share viewer event codes (fourth argument of the viewer's AvEventProc).
enum ViewerEvent : int32_t {
  kViewerEventConnected = 1,  // the first screen image was drawn
  kViewerEventBadData = 3,    // undecodable data
  kViewerEventBadFormat = 6,  // unknown image format
};

// Decoded frames of a render, on a framework thread; returns 0.
typedef int32_t(AVCORE_CALLBACK* RenderFrameCallback)(void* context, const VideoFrame* frame);
// A render's value notice (passed on with NotifyRender); returns 1 when taken.
typedef int32_t(AVCORE_CALLBACK* RenderValueCallback)(void* context, int32_t value);

struct IVideoRenderManager : public IUnknown {
  // A render drawing into `window`, reporting to `events` (the record is copied).
  // *renderId stays 0 on failure.
  virtual HRESULT AVCORE_CALL AddRender(HWND window, const EventRecord* events, RenderId* renderId) = 0;
  // After it returns, the render's callbacks are not called again.
  virtual HRESULT AVCORE_CALL RemoveRender(RenderId renderId) = 0;
  virtual HRESULT AVCORE_CALL SetRenderMode(RenderId renderId, int32_t mode) = 0;
  // Moves the render to `window`; null detaches it (frames still flow to callbacks).
  virtual HRESULT AVCORE_CALL SetRenderWindow(RenderId renderId, HWND window) = 0;
  // Both callbacks null removes them.
  virtual HRESULT AVCORE_CALL SetRawDataCallback(RenderId renderId, void* context, RenderFrameCallback frameCallback,
                                                 RenderValueCallback valueCallback) = 0;
  virtual HRESULT AVCORE_CALL PushFrame(RenderId renderId, const VideoFrame* frame) = 0;
  virtual HRESULT AVCORE_CALL NotifyRender(RenderId renderId, int32_t value) = 0;
  virtual HRESULT AVCORE_CALL GetRenderStats(RenderId renderId, RenderStats* stats) = 0;
};

// A viewer's configuration, fourteen words (56 bytes on the 32-bit build).
struct VncViewConfig {
  HWND control_window;      // word 0: window whose input is sent to the host, or null
  int32_t reserved1[4];     // words 1-4
  int32_t send_mouse;       // word 5: 1 = send mouse input
  int32_t send_keyboard;    // word 6
  int32_t send_wheel;       // word 7
  int32_t send_clipboard;   // word 8
  HWND view_window;         // word 9: window shown without input, or null
  int32_t reserved10[2];    // words 10-11
  int32_t scale_to_window;  // word 12: 1 = scale the screen into the window
  int32_t reserved13;       // word 13
};
AVCORE_ASSERT_SIZE32(VncViewConfig, 56);

struct IVncRenderManager : public IUnknown {
  // A viewer drawing into `window` with `config`, reporting to `events`.
  virtual HRESULT AVCORE_CALL AddRender2(HWND window, const EventRecord* events, RenderId* renderId,
                                         const VncViewConfig* config) = 0;
  virtual HRESULT AVCORE_CALL RemoveRender(RenderId renderId) = 0;
  virtual HRESULT AVCORE_CALL SetViewConfig(RenderId renderId, const VncViewConfig* config) = 0;
  virtual HRESULT AVCORE_CALL GetRenderStats(RenderId renderId, RenderStats* stats) = 0;
  // (render, 0, null, null) removes the callbacks.
  virtual HRESULT AVCORE_CALL SetRawDataCallback(RenderId renderId, void* context, RenderFrameCallback frameCallback,
                                                 RenderValueCallback valueCallback) = 0;
};

}  // namespace avcore
