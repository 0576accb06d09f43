// Screen-share host component: StartHost grabs the configured rectangle of the virtual
// screen (or all of it) at a steady rate; once the media network publishes it (media type
// 0, id "0") the pictures go out as H.264 in screen-content mode. A controlling viewer's
// input (business "RINPUT", forwarded by the server only from the viewer granted
// control) is applied with SendInput while the configuration allows it.
#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include "avcore/ids.h"
#include "com_object.h"
#include "common/time/monotonic.h"
#include "components.h"
#include "framework_log.h"
#include "input_injector.h"
#include "protocol/media/random_ssrc.h"
#include "protocol/messages/business_messages.h"
#include "screen_grabber.h"
#include "screen_plane.h"
#include "video_sender.h"

namespace tessarine {
namespace {

constexpr int kFrameRate = 15;

// The shared rectangle of a configuration; empty when it is not a valid one.
RECT AreaOf(const avcore::VncHostConfig& c) {
  if (c.capture_mode == 0) {
    const int x = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int y = GetSystemMetrics(SM_YVIRTUALSCREEN);
    return RECT{x, y, x + GetSystemMetrics(SM_CXVIRTUALSCREEN), y + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
  }
  if (c.capture_mode == 3 && c.left < c.right && c.top < c.bottom) return RECT{c.left, c.top, c.right, c.bottom};
  return RECT{0, 0, 0, 0};
}

class VncHost final : public ComObject<avcore::IVncHost>,
                      public media::IScreenPublisher,
                      public avcore::IKivBusinessBase {
 public:
  VncHost() : ComObject(avcore::IID_IVncHost) {}
  ~VncHost() override { Stop(); }

  HRESULT AVCORE_CALL Initialize(int32_t, const avcore::EventRecord* events, avcore::IAvNet* net,
                                 avcore::IAudioDevice*) override {
    if (net == nullptr) return E_INVALIDARG;
    std::lock_guard<std::mutex> lock(mutex_);
    if (events != nullptr) events_ = *events;
    return S_OK;
  }

  HRESULT AVCORE_CALL StartHost(const avcore::VncHostConfig* config) override {
    if (config == nullptr) return E_POINTER;
    const RECT area = AreaOf(*config);
    if (area.right <= area.left + 1 || area.bottom <= area.top + 1) return E_INVALIDARG;
    std::lock_guard<std::mutex> control(control_);
    if (running_) return E_UNEXPECTED;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      config_ = *config;
      area_ = area;
      area_changed_ = true;
    }
    running_ = true;
    thread_ = std::thread([this] { CaptureLoop(); });
    FW_LOG("vnc host: sharing %ld,%ld-%ld,%ld", area.left, area.top, area.right, area.bottom);
    return S_OK;
  }

  HRESULT AVCORE_CALL SetConfig(const avcore::VncHostConfig* config) override {
    if (config == nullptr) return E_POINTER;
    const RECT area = AreaOf(*config);
    if (area.right <= area.left + 1 || area.bottom <= area.top + 1) return E_INVALIDARG;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!EqualRect(&area, &area_)) area_changed_ = true;
    config_ = *config;
    area_ = area;
    FW_LOG("vnc host: control %s", config->allow_mouse || config->allow_keyboard ? "granted" : "off");
    return S_OK;
  }

  HRESULT AVCORE_CALL Stop() override {
    {
      std::lock_guard<std::mutex> control(control_);
      if (running_) {
        running_ = false;
        if (thread_.joinable()) thread_.join();
      }
    }
    Unpublish();
    return S_OK;
  }

  // media::IScreenPublisher
  HRESULT Publish(const media::ScreenPlane& plane) override {
    if (!plane.transport) return E_FAIL;
    // The old publication goes first: it has the same key on the transport, so stopping it
    // after the new one started would withdraw the new one.
    Unpublish();
    auto sender =
        std::make_unique<media::VideoSender>(plane.transport, media::kMediaScreen, "0", kiv_media::RandomSsrc(), true);
    if (!sender->Start()) return E_FAIL;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      sender_ = std::move(sender);
      connection_ = plane.connection;
    }
    if (plane.connection != nullptr) plane.connection->AddBusiness(this);
    return S_OK;
  }

  void Unpublish() override {
    std::unique_ptr<media::VideoSender> sender;
    avcore::IKivConnection* connection = nullptr;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      sender = std::move(sender_);
      connection = connection_;
      connection_ = nullptr;
    }
    if (connection != nullptr) connection->RemoveBusiness(this);
    if (sender) sender->Stop();
  }

  // avcore::IKivBusinessBase: input from the viewer the server let through.
  bool AVCORE_CALL ProcessCpBusinessCmd(const char* business, int32_t commandId,
                                        const rapidjson::Value& body) override {
    if (business == nullptr || std::strcmp(business, kiv_proto::kBusinessRemoteInput) != 0 ||
        commandId != kiv_proto::kRemoteInputDelivered) {
      return false;
    }
    std::string sender;
    std::vector<media::InputEvent> events;
    if (!media::DecodeRemoteInput(body, &sender, &events)) return true;
    RECT area;
    media::InputPermissions allowed;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      area = area_;
      allowed.mouse = config_.allow_mouse == 1;
      allowed.keyboard = config_.allow_keyboard == 1;
      allowed.wheel = config_.allow_wheel == 1;
    }
    if (!allowed.mouse && !allowed.keyboard && !allowed.wheel) {
      FW_LOG("vnc host: input from %s while control is off: dropped", sender.c_str());
      return true;
    }
    injector_.Apply(events, area, allowed);
    return true;
  }

 private:
  void CaptureLoop() {
    std::unique_ptr<media::ScreenGrabber> grabber;
    std::vector<uint8_t> picture;
    const uint64_t start = kiv_common::MonotonicMs();
    for (uint64_t n = 0; running_; ++n) {
      const uint64_t due = start + n * 1000 / kFrameRate;
      const uint64_t now = kiv_common::MonotonicMs();
      if (due > now) std::this_thread::sleep_for(std::chrono::milliseconds(due - now));
      if (!running_) break;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (area_changed_ || !grabber) {
          grabber = std::make_unique<media::ScreenGrabber>(area_.left, area_.top, area_.right - area_.left,
                                                           area_.bottom - area_.top);
          area_changed_ = false;
        }
      }
      const uint64_t captured = kiv_common::MonotonicMs();
      if (!grabber->Grab(&picture)) continue;
      std::lock_guard<std::mutex> lock(mutex_);
      if (sender_) sender_->OnPicture(picture.data(), grabber->width(), grabber->height(), kFrameRate, 0, captured);
      const uint64_t slot = (kiv_common::MonotonicMs() - start) * kFrameRate / 1000;
      if (slot > n) n = slot;  // late: skip the missed slots
    }
  }

  std::mutex control_;  // StartHost / Stop
  std::mutex mutex_;    // configuration, sender, connection
  avcore::EventRecord events_{};
  avcore::VncHostConfig config_{};
  RECT area_{0, 0, 0, 0};
  bool area_changed_ = false;
  std::unique_ptr<media::VideoSender> sender_;
  avcore::IKivConnection* connection_ = nullptr;
  media::InputInjector injector_;
  std::thread thread_;
  std::atomic<bool> running_{false};
};

}  // namespace

avcore::IVncHost* CreateVncHost() { return new (std::nothrow) VncHost(); }

}  // namespace tessarine
