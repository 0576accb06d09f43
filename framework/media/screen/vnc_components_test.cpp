// The screen-share components against scripted media transports: the host's publication
// across a second publish, and a viewer removed while its bad-data report is in the
// owner's callback.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "call_gate.h"
#include "components.h"
#include "i420_image.h"
#include "replay_transport.h"
#include "screen_plane.h"
#include "test_pattern.h"
#include "video_sender.h"

namespace tessarine::media {
namespace {

// Counts the publications each (media type, id) has on the transport.
class PublicationLedger final : public IMediaTransport {
 public:
  bool Publish(int type, const std::string& id, uint32_t, SourceFeedback) override {
    std::lock_guard<std::mutex> lock(mutex_);
    live_[{type, id}] = true;
    return true;
  }
  void Unpublish(int type, const std::string& id) override {
    std::lock_guard<std::mutex> lock(mutex_);
    live_.erase({type, id});
  }
  bool SendRtp(uint32_t, uint8_t, bool, uint32_t, const uint8_t*, size_t) override { return true; }
  SubscriptionId Subscribe(const SourceKey&, std::function<void(const RtpPacketIn&)>) override { return 1; }
  void Unsubscribe(SubscriptionId) override {}
  void RequestKeyframe(SubscriptionId) override {}
  ReceptionStats Stats(SubscriptionId) const override { return {}; }
  bool Registered() const override { return true; }
  TransportCounters Counters() const override { return {}; }

  bool Live(int type, const std::string& id) {
    std::lock_guard<std::mutex> lock(mutex_);
    return live_.count({type, id}) != 0;
  }

 private:
  std::mutex mutex_;
  std::map<std::pair<int, std::string>, bool> live_;
};

// Runs a body on a thread of its own and tells, without timing anything, whether it
// stopped in CallGate::Close to wait for a call on another thread, or ran to its end.
class GateWaitProbe {
 public:
  explicit GateWaitProbe(std::function<void()> body) {
    Current() = this;
    CallGate::SetWaitObserver(&Observe);
    thread_ = std::thread([this, body] {
      id_ = std::this_thread::get_id();
      body();
      Signal(&finished_);
    });
  }
  ~GateWaitProbe() {
    Join();
    CallGate::SetWaitObserver(nullptr);
    Current() = nullptr;
  }
  bool WaitsForCall() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return waiting_ || finished_; });
    return waiting_;
  }
  void Join() {
    if (thread_.joinable()) thread_.join();
  }

 private:
  static GateWaitProbe*& Current() {
    static GateWaitProbe* current = nullptr;
    return current;
  }
  static void Observe() {
    GateWaitProbe* probe = Current();
    if (probe && probe->id_.load() == std::this_thread::get_id()) probe->Signal(&probe->waiting_);
  }
  void Signal(bool* flag) {
    std::lock_guard<std::mutex> lock(mutex_);
    *flag = true;
    changed_.notify_all();
  }
  std::mutex mutex_;
  std::condition_variable changed_;
  bool waiting_ = false;
  bool finished_ = false;
  std::atomic<std::thread::id> id_{};
  std::thread thread_;
};

// A second publish while the first is live: the new publication stays on the transport.
TEST(VncHostTest, RepublishKeepsTheNewPublication) {
  avcore::IVncHost* host = CreateVncHost();
  ASSERT_NE(host, nullptr);
  auto* publisher = dynamic_cast<IScreenPublisher*>(host);
  ASSERT_NE(publisher, nullptr);
  auto ledger = std::make_shared<PublicationLedger>();
  ScreenPlane plane;
  plane.transport = ledger;
  ASSERT_EQ(publisher->Publish(plane), S_OK);
  EXPECT_TRUE(ledger->Live(kMediaScreen, "0"));
  ASSERT_EQ(publisher->Publish(plane), S_OK);
  EXPECT_TRUE(ledger->Live(kMediaScreen, "0")) << "the second publish withdrew itself";
  publisher->Unpublish();
  EXPECT_FALSE(ledger->Live(kMediaScreen, "0"));
  host->Release();
}

// The viewer's owner, held inside the bad-data report until the test lets it go.
struct HeldReports {
  HANDLE inside = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::atomic<int> bad_data{0};
  std::atomic<bool> in_report{false};
  ~HeldReports() {
    CloseHandle(inside);
    CloseHandle(release);
  }
};

int AVCORE_CALLBACK OnHeldViewerEvent(uintptr_t, uintptr_t, uintptr_t, uintptr_t code, void* context) {
  auto* held = static_cast<HeldReports*>(context);
  if (code != avcore::kViewerEventBadData) return 1;
  ++held->bad_data;
  held->in_report = true;
  SetEvent(held->inside);
  WaitForSingleObject(held->release, INFINITE);
  held->in_report = false;
  return 1;
}

// A viewer removed while the bad-data watch is in its owner's callback: the removal
// returns once that report is over, and no report follows it.
TEST(VncRenderManagerTest, RemoveRenderWaitsForTheBadDataReport) {
  constexpr int kWidth = 320, kHeight = 240, kRate = 15;
  ReplayTransport recording;
  struct Unit {
    size_t first, end;
  };
  std::vector<Unit> units;
  {
    VideoSender sender(Borrow(recording), kMediaScreen, "0", 0x5C4EE7, true);
    ASSERT_TRUE(sender.Start());
    I420Image screen;
    screen.Resize(kWidth, kHeight);
    for (uint32_t n = 0; n < kRate; ++n) {
      DrawTestPattern(1, n, {"shared screen", "frame " + std::to_string(n)}, &screen);
      const size_t before = recording.sent_.size();
      sender.OnPicture(screen.data.data(), kWidth, kHeight, kRate, 300000, 1000 + n * 1000 / kRate);
      if (recording.sent_.size() > before) units.push_back({before, recording.sent_.size()});
    }
  }
  const auto single = std::find_if(units.begin() + 1, units.end(), [](const Unit& u) { return u.end - u.first == 1; });
  ASSERT_NE(single, units.end()) << "a one-packet picture after the keyframe";

  avcore::IVncRenderManager* manager = CreateVncRenderManager();
  ASSERT_NE(manager, nullptr);
  auto* viewers = dynamic_cast<IScreenViewers*>(manager);
  ASSERT_NE(viewers, nullptr);
  HeldReports held;
  const avcore::EventRecord events{avcore::kEventRecordVersion, &OnHeldViewerEvent, 0, &held};
  const avcore::VncViewConfig config{};
  avcore::RenderId id = 0;
  ASSERT_EQ(manager->AddRender2(nullptr, &events, &id, &config), S_OK);
  ReplayTransport viewer_side;
  ScreenPlane plane;
  plane.transport = Borrow(viewer_side);
  ASSERT_EQ(viewers->StartReceive(plane, "alice", id), S_OK);
  viewer_side.Replay(recording.sent_, 0, single->first);
  viewer_side.Replay(recording.sent_, single->first, single->end, true);
  ASSERT_EQ(WaitForSingleObject(held.inside, INFINITE), WAIT_OBJECT_0);

  bool in_report_when_removed = true;
  GateWaitProbe remove([&] {
    EXPECT_EQ(manager->RemoveRender(id), S_OK);
    in_report_when_removed = held.in_report.load();
  });
  EXPECT_TRUE(remove.WaitsForCall()) << "removed under a running report";
  SetEvent(held.release);
  remove.Join();
  EXPECT_FALSE(in_report_when_removed);
  EXPECT_EQ(held.bad_data.load(), 1);
  manager->Release();
}

}  // namespace
}  // namespace tessarine::media
