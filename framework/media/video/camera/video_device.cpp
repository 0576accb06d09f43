// Video capture device component: the stand-in's synthetic cameras (their number from
// TESSARINE_CAMERAS, read at creation and at every re-enumeration) and, after them, the
// RTSP plug-ins of the process, each showing a moving test pattern with its name. A
// started capture hands every frame to the raw-data callback, to the media network's
// publications of the camera and to the device's preview render manager
// (QueryInterface(IID_IVideoRenderManager)).
#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "avcore/ids.h"
#include "callback_slot.h"
#include "camera_capture.h"
#include "camera_list.h"
#include "com_object.h"
#include "components.h"
#include "framework_log.h"
#include "plugin_registry.h"
#include "text_convert.h"
#include "video_frame_tap.h"
#include "video_render_manager.h"

namespace tessarine {
namespace {

constexpr int32_t kMinSide = 16;
constexpr int32_t kMaxWidth = 3840;
constexpr int32_t kMaxHeight = 2160;
constexpr int32_t kMaxFrameRate = 60;

avcore::VideoCaptureParam DefaultParam() {
  avcore::VideoCaptureParam p = avcore::VideoCaptureParam::Defaults();
  p.camera_index = 0;
  p.width = 640;
  p.height = 480;
  p.frame_rate = 15;
  p.layer_frame_rate[0] = 15;
  return p;
}

int32_t ConfiguredCameraCount() {
  char value[64];
  const DWORD n = GetEnvironmentVariableA(kCameraCountVariable, value, sizeof(value));
  const char* text = n == 0 ? nullptr : (n < sizeof(value) ? value : "?");
  const std::optional<int32_t> count = ParseCameraCount(text);
  if (!count) {
    FW_LOG("%s=\"%s\" is not a count 0-%d; using %d", kCameraCountVariable, text, kMaxCameraCount, kDefaultCameraCount);
    return kDefaultCameraCount;
  }
  return *count;
}

std::wstring Widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

// Copies as much of `text` as fits `units` with a terminator.
template <size_t N>
void CopyField(const std::string& text, wchar_t (&field)[N]) {
  const size_t n = std::min(text.size(), N - 1);
  for (size_t i = 0; i < n; ++i) field[i] = static_cast<unsigned char>(text[i]);
  field[n] = L'\0';
}

struct RawCallback {
  void* context = nullptr;
  avcore::VideoFrameCallback callback = nullptr;
};

class VideoDevice final : public ComObject<avcore::IVideoDevice>, public media::IVideoFrameTap {
 public:
  VideoDevice()
      : ComObject(avcore::IID_IVideoDevice),
        preview_(new (std::nothrow) VideoRenderManager()),
        capture_([this](const avcore::VideoFrame& frame) { OnFrame(frame); }) {
    synthetic_count_ = ConfiguredCameraCount();
    param_ = DefaultParam();
    frame_rate_ = param_.frame_rate;
  }

  ~VideoDevice() override {
    capture_.Stop();
    raw_.Clear();
  }

  bool valid() const { return static_cast<bool>(preview_); }

  int32_t AVCORE_CALL EnumDevices(avcore::VideoDeviceEntry* entries, int32_t capacity) override {
    if (capacity < 0) return E_INVALIDARG;
    if (entries == nullptr && capacity > 0) return E_POINTER;
    const std::vector<CameraInfo> cameras = Cameras();
    const int32_t n = std::min<int32_t>(capacity, static_cast<int32_t>(cameras.size()));
    for (int32_t i = 0; i < n; ++i) {
      avcore::VideoDeviceEntry& e = entries[i];
      std::memset(&e, 0, sizeof(e));
      e.id = i;
      CopyField(cameras[static_cast<size_t>(i)].path, e.path);
      CopyField(cameras[static_cast<size_t>(i)].name, e.name);
    }
    return n;
  }

  HRESULT AVCORE_CALL ReEnumerate() override {
    const int32_t count = ConfiguredCameraCount();
    std::lock_guard<std::mutex> lock(mutex_);
    synthetic_count_ = count;
    return S_OK;
  }

  HRESULT AVCORE_CALL GetDeviceName(int32_t index, wchar_t* name, int32_t capacity) override {
    if (name == nullptr) return E_POINTER;
    if (capacity < 1) return E_INVALIDARG;
    name[0] = L'\0';
    const std::vector<CameraInfo> cameras = Cameras();
    if (index < 0 || index >= static_cast<int32_t>(cameras.size())) return E_INVALIDARG;
    return CopyName(Widen(cameras[static_cast<size_t>(index)].name), name, capacity);
  }

  HRESULT AVCORE_CALL GetParam(avcore::VideoCaptureParam* param) override {
    if (param == nullptr) return E_POINTER;
    std::lock_guard<std::mutex> lock(mutex_);
    *param = param_;
    return S_OK;
  }

  HRESULT AVCORE_CALL SetParam(const avcore::VideoCaptureParam* param) override { return Apply(param, false); }

  HRESULT AVCORE_CALL StartCapture(const avcore::VideoCaptureParam* param) override { return Apply(param, true); }

  // The capture thread is waited for without mutex_: its frame's callbacks may read the
  // settings.
  HRESULT AVCORE_CALL StopCapture() override {
    CameraCapture::Stopping stopped;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (capture_.running()) FW_LOG("video device %p: capture stopped", static_cast<void*>(this));
      stopped = capture_.Release();
    }
    stopped.Join();
    return S_OK;
  }

  HRESULT AVCORE_CALL SetRawDataCallback(void* context, avcore::VideoFrameCallback callback) override {
    raw_.Set(RawCallback{context, callback}, callback != nullptr);
    return S_OK;
  }

  // media::IVideoFrameTap
  uint64_t AddFrameSink(Sink sink) override {
    std::lock_guard<std::mutex> lock(taps_mutex_);
    const uint64_t id = ++last_tap_;
    taps_.emplace_back(id, std::move(sink));
    return id;
  }
  void RemoveFrameSink(uint64_t id) override {
    std::lock_guard<std::mutex> lock(taps_mutex_);
    taps_.erase(std::remove_if(taps_.begin(), taps_.end(), [id](const auto& t) { return t.first == id; }), taps_.end());
  }

 protected:
  HRESULT QueryOther(REFIID iid, void** object) override {
    if (iid != avcore::IID_IVideoRenderManager) return E_NOINTERFACE;
    preview_->AddRef();
    *object = static_cast<avcore::IVideoRenderManager*>(preview_.get());
    return S_OK;
  }

 private:
  std::vector<CameraInfo> Cameras() {
    int32_t count;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      count = synthetic_count_;
    }
    return BuildCameraList(count, GlobalPluginRegistry().VideoPlugins());
  }

  static HRESULT Check(const avcore::VideoCaptureParam& p, size_t cameras) {
    if (p.camera_index < 0 || static_cast<size_t>(p.camera_index) >= cameras) return E_INVALIDARG;
    if (p.width < kMinSide || p.width > kMaxWidth || p.width % 2 != 0) return E_INVALIDARG;
    if (p.height < kMinSide || p.height > kMaxHeight || p.height % 2 != 0) return E_INVALIDARG;
    if (p.frame_rate < 1 || p.frame_rate > kMaxFrameRate) return E_INVALIDARG;
    return S_OK;
  }

  // SetParam (start false) and StartCapture (start true). Mode 1 keeps a running
  // capture's settings; otherwise the record becomes the settings, and a running
  // capture moves to them when camera, size or rate changed.
  HRESULT Apply(const avcore::VideoCaptureParam* param, bool start) {
    if (param == nullptr) return E_POINTER;
    const std::vector<CameraInfo> cameras = Cameras();
    const HRESULT check = Check(*param, cameras.size());
    if (FAILED(check)) {
      FW_LOG("video device %p: refused settings: camera %d, %dx%d at %d fps", static_cast<void*>(this),
             param->camera_index, param->width, param->height, param->frame_rate);
      return check;
    }
    // A replaced capture thread is waited for after mutex_ is released (as in StopCapture).
    CameraCapture::Stopping replaced;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      const bool running = capture_.running();
      if (running && param->mode == 1) return S_OK;
      const CaptureFormat format{param->width, param->height, param->frame_rate};
      const bool changed = param->camera_index != param_.camera_index || !(format == Format(param_));
      param_ = *param;
      frame_rate_ = param->frame_rate;
      bitrate_ = param->layers[0].bitrate;
      if ((running && changed) || (start && !running)) {
        const CameraInfo& camera = cameras[static_cast<size_t>(param->camera_index)];
        replaced = capture_.Release();
        capture_.Start(camera, format);
        FW_LOG("video device %p: capturing %s at %dx%d, %d fps", static_cast<void*>(this), camera.name.c_str(),
               format.width, format.height, format.frame_rate);
      }
    }
    replaced.Join();
    return S_OK;
  }

  static CaptureFormat Format(const avcore::VideoCaptureParam& p) {
    return CaptureFormat{p.width, p.height, p.frame_rate};
  }

  // Capture thread. The preview counts the bytes this camera's publications sent for the
  // frame, as a received video's render counts its stream: none while it is not published.
  void OnFrame(const avcore::VideoFrame& frame) {
    raw_.Call([&](const RawCallback& c) { c.callback(c.context, &frame); });
    StreamFrameInfo sent;
    {
      std::lock_guard<std::mutex> lock(taps_mutex_);
      for (const auto& tap : taps_) sent.bytes += tap.second(frame, frame_rate_, bitrate_);
    }
    preview_->DeliverToAll(frame, sent);
  }

  std::mutex mutex_;  // settings and the start and stop of the capture
  int32_t synthetic_count_ = 0;
  avcore::VideoCaptureParam param_{};
  ComRef<VideoRenderManager> preview_;
  CallbackSlot<RawCallback> raw_;
  std::atomic<int32_t> frame_rate_{0};  // of param_, read by the capture thread
  std::atomic<int32_t> bitrate_{0};
  std::mutex taps_mutex_;  // held while the taps run
  uint64_t last_tap_ = 0;
  std::vector<std::pair<uint64_t, Sink>> taps_;
  CameraCapture capture_;  // last: stopped before the members it feeds go
};

}  // namespace

avcore::IVideoDevice* CreateVideoDevice() {
  ComRef<VideoDevice> device(new (std::nothrow) VideoDevice());
  if (!device || !device->valid()) return nullptr;
  return device.Detach();
}

}  // namespace tessarine
