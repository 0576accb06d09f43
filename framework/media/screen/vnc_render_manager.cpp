// Screen-share render manager component: each viewer shows one sharer's screen in a
// window (scaled into it, aspect kept), receiving it once the media network starts the
// reception (media type 0, id "0"). While its view configuration names a control window
// and allows input, the viewer's mouse and keyboard in that window go to the sharer on
// the control connection (business "RINPUT"). Viewer events (fourth argument): 1 when
// the first picture is shown, 3 when the stream carried data the decoder refused.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "avcore/ids.h"
#include "call_gate.h"
#include "com_object.h"
#include "components.h"
#include "framework_log.h"
#include "picture_frame.h"
#include "remote_input.h"
#include "render_geometry.h"
#include "screen_plane.h"
#include "screen_reception.h"
#include "video_receiver.h"
#include "video_render.h"
#include "window_input_hook.h"

namespace tessarine {
namespace {

constexpr int32_t kViewMode = kModeAspectFit;
constexpr uint64_t kMoveGapMs = 40;  // mouse moves sent at most this often
constexpr int kWatchPeriodMs = 100;  // bad-data checks

bool SendsInput(const avcore::VncViewConfig& c) {
  return c.control_window != nullptr && (c.send_mouse == 1 || c.send_keyboard == 1 || c.send_wheel == 1);
}

HWND DrawWindow(const avcore::VncViewConfig& c, HWND fallback) {
  if (c.control_window != nullptr) return c.control_window;
  if (c.view_window != nullptr) return c.view_window;
  return fallback;
}

struct Viewer {
  Viewer(avcore::RenderId id, HWND window, const avcore::EventRecord& e)
      : render(id, window, avcore::EventRecord{}), events(e), id(id) {}

  VideoRender render;
  const avcore::EventRecord events;
  const avcore::RenderId id;
  std::mutex mutex;  // fields below
  avcore::VncViewConfig config{};
  HWND hooked = nullptr;
  std::string user;
  avcore::IKivConnection* connection = nullptr;
  // Shared with the bad-data watch, which reads its counters without the viewer's lock.
  std::shared_ptr<media::VideoReceiver> receiver;
  int32_t picture_width = 0;
  int32_t picture_height = 0;
  uint64_t errors_seen = 0;
  uint64_t last_move_ms = 0;
  std::atomic<bool> shown{false};
  // Passed by every report, from the receiver's thread and the bad-data watch; closed by
  // Close, which so returns once no report is in the owner's callback and none follows.
  CallGate reports;

  void Report(int32_t code) {
    GatePass pass(reports);
    if (pass && events.proc != nullptr) events.proc(id, 0, 0, static_cast<uintptr_t>(code), events.context);
  }
};

uint64_t NowMs() {
  return static_cast<uint64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
          .count());
}

// A window message as an input event of the picture; false when it is not one or lies
// outside the picture.
bool ToInputEvent(HWND window, UINT message, WPARAM wParam, LPARAM lParam, int32_t pw, int32_t ph,
                  media::InputEvent* e) {
  using media::InputKind;
  switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP:
      e->kind = (message == WM_KEYDOWN || message == WM_SYSKEYDOWN) ? InputKind::kKeyDown : InputKind::kKeyUp;
      e->key = static_cast<int32_t>(wParam);
      return e->key >= 1 && e->key <= 254;
    case WM_MOUSEWHEEL:
      e->kind = InputKind::kWheel;
      e->delta = GET_WHEEL_DELTA_WPARAM(wParam);
      return true;
    case WM_MOUSEMOVE:
      e->kind = InputKind::kMouseMove;
      break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      e->kind = InputKind::kMouseDown;
      break;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
      e->kind = InputKind::kMouseUp;
      break;
    default:
      return false;
  }
  if (message == WM_RBUTTONDOWN || message == WM_RBUTTONUP) e->button = media::kButtonRight;
  if (message == WM_MBUTTONDOWN || message == WM_MBUTTONUP) e->button = media::kButtonMiddle;
  RECT client;
  if (pw <= 0 || ph <= 0 || !GetClientRect(window, &client)) return false;
  const FramePlacement p = PlaceFrame(kViewMode, pw, ph, client.right, client.bottom);
  const int32_t cx = static_cast<int16_t>(LOWORD(lParam));
  const int32_t cy = static_cast<int16_t>(HIWORD(lParam));
  if (p.target.width <= 0 || p.target.height <= 0 || cx < p.target.x || cy < p.target.y ||
      cx >= p.target.x + p.target.width || cy >= p.target.y + p.target.height) {
    return false;
  }
  const int32_t px = p.source.x + (cx - p.target.x) * p.source.width / p.target.width;
  const int32_t py = p.source.y + (cy - p.target.y) * p.source.height / p.target.height;
  e->x = media::ToInputAxis(px, pw);
  e->y = media::ToInputAxis(py, ph);
  return true;
}

class VncRenderManager final : public ComObject<avcore::IVncRenderManager>, public media::IScreenViewers {
 public:
  VncRenderManager() : ComObject(avcore::IID_IVncRenderManager) {
    watcher_ = std::thread([this] { Watch(); });
  }
  ~VncRenderManager() override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      closing_ = true;
    }
    wake_.notify_all();
    watcher_.join();
    std::map<avcore::RenderId, std::shared_ptr<Viewer>> viewers;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      viewers.swap(viewers_);
    }
    for (auto& [id, viewer] : viewers) Close(*viewer);
  }

  HRESULT AVCORE_CALL AddRender2(HWND window, const avcore::EventRecord* events, avcore::RenderId* renderId,
                                 const avcore::VncViewConfig* config) override {
    if (renderId == nullptr || config == nullptr) return E_POINTER;
    if (window != nullptr && !IsWindow(window)) return E_HANDLE;
    std::lock_guard<std::mutex> lock(mutex_);
    const avcore::RenderId id = ++next_id_;
    auto viewer =
        std::make_shared<Viewer>(id, DrawWindow(*config, window), events != nullptr ? *events : avcore::EventRecord{});
    viewer->render.SetMode(kViewMode);
    ApplyConfig(viewer, *config);
    viewers_[id] = viewer;
    *renderId = id;
    return S_OK;
  }

  HRESULT AVCORE_CALL RemoveRender(avcore::RenderId renderId) override {
    std::shared_ptr<Viewer> viewer;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      auto it = viewers_.find(renderId);
      if (it == viewers_.end()) return S_OK;
      viewer = it->second;
      viewers_.erase(it);
    }
    Close(*viewer);
    return S_OK;
  }

  HRESULT AVCORE_CALL SetViewConfig(avcore::RenderId renderId, const avcore::VncViewConfig* config) override {
    if (config == nullptr) return E_POINTER;
    std::shared_ptr<Viewer> viewer = Find(renderId);
    if (!viewer) return E_INVALIDARG;
    viewer->render.SetWindow(DrawWindow(*config, nullptr));
    ApplyConfig(viewer, *config);
    return S_OK;
  }

  HRESULT AVCORE_CALL GetRenderStats(avcore::RenderId renderId, avcore::RenderStats* stats) override {
    if (stats == nullptr) return E_POINTER;
    std::shared_ptr<Viewer> viewer = Find(renderId);
    if (!viewer) return E_INVALIDARG;
    viewer->render.Stats(stats);
    return S_OK;
  }

  HRESULT AVCORE_CALL SetRawDataCallback(avcore::RenderId renderId, void* context,
                                         avcore::RenderFrameCallback frameCallback,
                                         avcore::RenderValueCallback valueCallback) override {
    std::shared_ptr<Viewer> viewer = Find(renderId);
    if (!viewer) return E_INVALIDARG;
    return viewer->render.SetCallbacks(context, frameCallback, valueCallback);
  }

  // media::IScreenViewers
  HRESULT StartReceive(const media::ScreenPlane& plane, const std::string& user_id, avcore::RenderId render) override {
    std::shared_ptr<Viewer> viewer = Find(render);
    if (!viewer || !plane.transport || user_id.empty()) return E_INVALIDARG;
    StopReceiver(*viewer);
    std::weak_ptr<Viewer> weak = viewer;
    std::shared_ptr<media::IMediaTransport> transport = ScreenReceptionTransport(plane.transport, render, [weak] {
      std::shared_ptr<Viewer> v = weak.lock();
      return v && v->shown.load();
    });
    auto receiver =
        std::make_shared<media::VideoReceiver>(transport, media::SourceKey{user_id, media::kMediaScreen, "0"},
                                               [weak](const media::DecodedPicture& p, size_t bytes, uint32_t) {
                                                 std::shared_ptr<Viewer> v = weak.lock();
                                                 if (!v) return;
                                                 OnPicture(*v, p, bytes);
                                               });
    if (!receiver->Start()) return E_FAIL;
    std::lock_guard<std::mutex> lock(viewer->mutex);
    viewer->user = user_id;
    viewer->connection = plane.connection;
    viewer->receiver = std::move(receiver);
    viewer->errors_seen = 0;
    FW_LOG("vnc viewer %u: receiving the screen of %s", static_cast<unsigned>(render), user_id.c_str());
    return S_OK;
  }

  HRESULT StopReceive(const std::string& user_id) override {
    std::vector<std::shared_ptr<Viewer>> all;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      for (auto& [id, v] : viewers_) all.push_back(v);
    }
    for (auto& v : all) {
      bool match;
      {
        std::lock_guard<std::mutex> lock(v->mutex);
        match = v->user == user_id;
      }
      if (match) StopReceiver(*v);
    }
    return S_OK;
  }

 private:
  std::shared_ptr<Viewer> Find(avcore::RenderId id) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = viewers_.find(id);
    return it == viewers_.end() ? nullptr : it->second;
  }

  static void OnPicture(Viewer& v, const media::DecodedPicture& p, size_t bytes) {
    const avcore::VideoFrame frame = media::PictureFrame(p);
    StreamFrameInfo info;
    info.bytes = bytes;
    {
      std::lock_guard<std::mutex> lock(v.mutex);
      v.picture_width = p.width;
      v.picture_height = p.height;
    }
    if (FAILED(v.render.Deliver(frame, &info))) return;
    if (!v.shown.exchange(true)) v.Report(avcore::kViewerEventConnected);
  }

  static void StopReceiver(Viewer& v) {
    std::shared_ptr<media::VideoReceiver> receiver;
    {
      std::lock_guard<std::mutex> lock(v.mutex);
      receiver = std::move(v.receiver);
      v.user.clear();
      v.connection = nullptr;
    }
    if (receiver) receiver->Stop();
    v.shown = false;
  }

  static void Close(Viewer& v) {
    v.reports.Close();
    StopReceiver(v);
    HWND hooked;
    {
      std::lock_guard<std::mutex> lock(v.mutex);
      hooked = v.hooked;
      v.hooked = nullptr;
    }
    if (hooked != nullptr) media::WindowInputHook::Detach(hooked);
    v.render.Close();
  }

  static void ApplyConfig(const std::shared_ptr<Viewer>& viewer, const avcore::VncViewConfig& config) {
    HWND detach = nullptr;
    HWND attach = nullptr;
    {
      std::lock_guard<std::mutex> lock(viewer->mutex);
      viewer->config = config;
      const HWND wanted = config.control_window;
      if (viewer->hooked != wanted) {
        detach = viewer->hooked;
        attach = wanted;
        viewer->hooked = wanted;
      }
    }
    if (detach != nullptr) media::WindowInputHook::Detach(detach);
    if (attach == nullptr) return;
    std::weak_ptr<Viewer> weak = viewer;
    media::WindowInputHook::Attach(attach, [weak](HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
      if (std::shared_ptr<Viewer> v = weak.lock()) ForwardInput(*v, window, message, wParam, lParam);
    });
  }

  // On the control window's thread.
  static void ForwardInput(Viewer& v, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    avcore::IKivConnection* connection;
    std::string user;
    media::InputEvent e;
    {
      std::lock_guard<std::mutex> lock(v.mutex);
      if (!SendsInput(v.config) || v.connection == nullptr) return;
      if (!ToInputEvent(window, message, wParam, lParam, v.picture_width, v.picture_height, &e)) return;
      const bool mouse = e.kind == media::InputKind::kMouseMove || e.kind == media::InputKind::kMouseDown ||
                         e.kind == media::InputKind::kMouseUp;
      if (mouse && v.config.send_mouse != 1) return;
      if (e.kind == media::InputKind::kWheel && v.config.send_wheel != 1) return;
      if ((e.kind == media::InputKind::kKeyDown || e.kind == media::InputKind::kKeyUp) && v.config.send_keyboard != 1)
        return;
      if (e.kind == media::InputKind::kMouseMove) {
        const uint64_t now = NowMs();
        if (now - v.last_move_ms < kMoveGapMs) return;
        v.last_move_ms = now;
      }
      connection = v.connection;
      user = v.user;
    }
    const rapidjson::Document body = media::EncodeRemoteInput(user, {e});
    connection->SendBusinessCmd(body);
  }

  // Reports bad data once per burst of decoder refusals.
  void Watch() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!closing_) {
      wake_.wait_for(lock, std::chrono::milliseconds(kWatchPeriodMs));
      if (closing_) break;
      std::vector<std::shared_ptr<Viewer>> all;
      for (auto& [id, v] : viewers_) all.push_back(v);
      lock.unlock();
      for (auto& v : all) {
        std::shared_ptr<media::VideoReceiver> receiver;
        {
          std::lock_guard<std::mutex> guard(v->mutex);
          receiver = v->receiver;
        }
        if (!receiver) continue;
        // Not under the viewer's lock: the receiver calls OnPicture, which takes the
        // viewer's lock, with its own lock held.
        const uint64_t errors = receiver->Stats().decode_errors;
        bool bad = false;
        {
          std::lock_guard<std::mutex> guard(v->mutex);
          if (v->receiver != receiver) continue;  // restarted meanwhile
          bad = errors > v->errors_seen;
          v->errors_seen = errors;
        }
        if (bad) {
          FW_LOG("vnc viewer %u: bad data", static_cast<unsigned>(v->id));
          v->Report(avcore::kViewerEventBadData);
        }
      }
      lock.lock();
    }
  }

  std::mutex mutex_;  // viewers_, next_id_, closing_
  std::condition_variable wake_;
  std::map<avcore::RenderId, std::shared_ptr<Viewer>> viewers_;
  avcore::RenderId next_id_ = 0;
  bool closing_ = false;
  std::thread watcher_;
};

}  // namespace

avcore::IVncRenderManager* CreateVncRenderManager() { return new (std::nothrow) VncRenderManager(); }

}  // namespace tessarine
