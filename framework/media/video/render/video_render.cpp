#include "video_render.h"

#include "frame_convert.h"
#include "gdi_frame_painter.h"
#include "render_geometry.h"

namespace tessarine {

VideoRender::VideoRender(avcore::RenderId id, HWND window, const avcore::EventRecord& events)
    : id_(id), events_(events), window_(window) {}

void VideoRender::Close() {
  raw_.Clear();
  gate_.Close();
}

HRESULT VideoRender::CheckFrame(const avcore::VideoFrame& frame) {
  FrameLayout layout;
  if (!LayoutOfFourcc(frame.fourcc, &layout) || frame.data == nullptr) return E_INVALIDARG;
  const int32_t stride = frame.stride > 0 ? frame.stride : frame.width;
  const size_t needed = FrameBytes(layout, frame.width, frame.height, stride);
  if (needed == 0 || frame.length < 0 || static_cast<size_t>(frame.length) < needed) return E_INVALIDARG;
  return S_OK;
}

HRESULT VideoRender::SetMode(int32_t mode) {
  if (mode != kModeScaleFill && mode != kModeAspectCrop && mode != kModeAspectFit) return E_INVALIDARG;
  GatePass pass(gate_);
  if (!pass) return E_INVALIDARG;
  std::lock_guard<std::mutex> lock(mutex_);
  mode_ = mode;
  RedrawLocked();
  return S_OK;
}

HRESULT VideoRender::SetWindow(HWND window) {
  if (window != nullptr && !IsWindow(window)) return E_HANDLE;
  GatePass pass(gate_);
  if (!pass) return E_INVALIDARG;
  std::lock_guard<std::mutex> lock(mutex_);
  window_ = window;
  RedrawLocked();
  return S_OK;
}

HRESULT VideoRender::SetCallbacks(void* context, avcore::RenderFrameCallback frame, avcore::RenderValueCallback value) {
  raw_.Set(RawCallbacks{context, frame, value}, frame != nullptr || value != nullptr);
  return S_OK;
}

HRESULT VideoRender::Notify(int32_t value) {
  std::lock_guard<std::mutex> lock(mutex_);
  last_value_ = value;
  return S_OK;
}

void VideoRender::Stats(avcore::RenderStats* stats) const {
  const RenderFigures f = stats_.Read(static_cast<int64_t>(GetTickCount64()));
  *stats = avcore::RenderStats{};
  stats->frame_rate = f.frame_rate;
  stats->bitrate = f.bitrate;
  stats->width = f.width;
  stats->height = f.height;
  std::lock_guard<std::mutex> lock(mutex_);
  stats->delay_ms = delay_ms_;
  stats->lost_rate = lost_per_mille_;
}

void VideoRender::RedrawLocked() {
  if (window_ != nullptr && !picture_.empty()) {
    PaintFrame(window_, picture_, picture_width_, picture_height_, mode_);
  }
}

HRESULT VideoRender::Deliver(const avcore::VideoFrame& frame, const StreamFrameInfo* stream) {
  const HRESULT check = CheckFrame(frame);
  if (FAILED(check)) return check;
  GatePass pass(gate_);
  if (!pass) return E_INVALIDARG;

  raw_.Call([&](const RawCallbacks& c) {
    if (c.frame) c.frame(c.context, &frame);
  });

  FrameLayout layout;
  LayoutOfFourcc(frame.fourcc, &layout);
  bool first = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    picture_.resize(static_cast<size_t>(frame.width) * frame.height);
    ConvertToBgra(layout, frame.data, frame.width, frame.height, frame.stride > 0 ? frame.stride : frame.width,
                  picture_.data());
    picture_width_ = frame.width;
    picture_height_ = frame.height;
    RedrawLocked();
    first = !first_frame_reported_;
    first_frame_reported_ = true;
    if (stream != nullptr) {
      delay_ms_ = stream->delay_ms;
      lost_per_mille_ = stream->lost_per_mille;
    }
  }
  stats_.OnFrame(static_cast<int64_t>(GetTickCount64()), frame.width, frame.height,
                 stream != nullptr ? stream->bytes : static_cast<size_t>(frame.length));
  if (first && events_.proc != nullptr) {
    events_.proc(id_, avcore::kRenderEventFirstFrame, static_cast<uintptr_t>(frame.width),
                 static_cast<uintptr_t>(frame.height), events_.context);
  }
  return S_OK;
}

}  // namespace tessarine
