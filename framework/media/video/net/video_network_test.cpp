// The video network's receptions against a scripted transport whose Unsubscribe waits for
// the delivery in flight, as the framework's does: a restart does not hold the network's
// lock while it waits, so the owner may stop another reception from inside a picture. Its
// publications against a transport held inside Publish or Unpublish: the network's other
// calls go on meanwhile, and a removal ends before the next publication of its id starts.
#include "video_network.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/win/unique_handle.h"
#include "i420_image.h"
#include "keyed_turns.h"
#include "replay_transport.h"
#include "test_pattern.h"
#include "video_frame_tap.h"
#include "video_sender.h"

namespace tessarine::media {
namespace {

// Subscriptions that a test feeds; Unsubscribe waits while a delivery on another thread is
// in the subscription's receiver.
class GatedTransport final : public IMediaTransport {
 public:
  bool Publish(int, const std::string&, uint32_t, SourceFeedback) override { return true; }
  void Unpublish(int, const std::string&) override {}
  bool SendRtp(uint32_t, uint8_t, bool, uint32_t, const uint8_t*, size_t) override { return true; }
  SubscriptionId Subscribe(const SourceKey&, std::function<void(const RtpPacketIn&)> receiver) override {
    std::lock_guard<std::mutex> lock(mutex_);
    receivers_[++next_] = std::move(receiver);
    return next_;
  }
  void Unsubscribe(SubscriptionId id) override {
    std::unique_lock<std::mutex> lock(mutex_);
    receivers_.erase(id);
    if (delivering_ == id) SetEvent(unsubscribing);
    idle_.wait(lock, [&] { return delivering_ != id; });
  }
  void RequestKeyframe(SubscriptionId) override {}
  ReceptionStats Stats(SubscriptionId) const override { return {}; }
  bool Registered() const override { return true; }
  TransportCounters Counters() const override { return {}; }

  // Hands subscription `id` the recorded packets, as the transport's thread does.
  void Deliver(SubscriptionId id, const std::vector<SentPacket>& packets) {
    for (size_t i = 0; i < packets.size(); ++i) {
      std::function<void(const RtpPacketIn&)> receiver;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = receivers_.find(id);
        if (it == receivers_.end()) return;
        receiver = it->second;
        delivering_ = id;
      }
      std::vector<uint8_t> payload = packets[i].payload;
      RtpPacketIn in;
      in.payload_type = packets[i].payload_type;
      in.marker = packets[i].marker;
      in.sequence = static_cast<uint16_t>(1000 + i);
      in.timestamp = packets[i].timestamp;
      in.ssrc = 0x5C4EE7;
      in.payload = payload.data();
      in.payload_size = payload.size();
      in.arrival_us = (i + 1) * 1000;
      receiver(in);
      std::lock_guard<std::mutex> lock(mutex_);
      delivering_ = 0;
      idle_.notify_all();
    }
  }

  HANDLE unsubscribing = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ~GatedTransport() override { CloseHandle(unsubscribing); }

 private:
  std::mutex mutex_;
  std::condition_variable idle_;
  std::map<SubscriptionId, std::function<void(const RtpPacketIn&)>> receivers_;
  SubscriptionId next_ = 0;
  SubscriptionId delivering_ = 0;
};

// Renders of another framework: pictures arrive by PushFrame; the first is held there.
class HeldRenders final : public avcore::IVideoRenderManager {
 public:
  HRESULT AVCORE_CALL QueryInterface(REFIID, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AVCORE_CALL AddRef() override { return 2; }
  ULONG AVCORE_CALL Release() override { return 1; }
  HRESULT AVCORE_CALL AddRender(HWND, const avcore::EventRecord*, avcore::RenderId*) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL RemoveRender(avcore::RenderId) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL SetRenderMode(avcore::RenderId, int32_t) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL SetRenderWindow(avcore::RenderId, HWND) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL SetRawDataCallback(avcore::RenderId, void*, avcore::RenderFrameCallback,
                                         avcore::RenderValueCallback) override {
    return E_NOTIMPL;
  }
  HRESULT AVCORE_CALL PushFrame(avcore::RenderId, const avcore::VideoFrame*) override {
    if (held_.exchange(true)) return S_OK;
    SetEvent(inside);
    WaitForSingleObject(go, INFINITE);
    if (in_first) in_first();
    return S_OK;
  }
  HRESULT AVCORE_CALL NotifyRender(avcore::RenderId, int32_t) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL GetRenderStats(avcore::RenderId, avcore::RenderStats*) override { return E_NOTIMPL; }

  std::function<void()> in_first;
  HANDLE inside = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ~HeldRenders() {
    CloseHandle(inside);
    CloseHandle(go);
  }

 private:
  std::atomic<bool> held_{false};
};

// Publications as calls in order; the first Publish or Unpublish of the id `held` waits
// inside until the test lets it go.
class HeldPublications final : public IMediaTransport {
 public:
  bool Publish(int, const std::string& id, uint32_t, SourceFeedback) override {
    Note("publish " + id, id);
    std::lock_guard<std::mutex> lock(mutex_);
    published_[id] = true;
    return true;
  }
  void Unpublish(int, const std::string& id) override {
    Note("unpublish " + id, id);
    std::lock_guard<std::mutex> lock(mutex_);
    published_[id] = false;
  }
  bool SendRtp(uint32_t, uint8_t, bool, uint32_t, const uint8_t*, size_t) override { return true; }
  SubscriptionId Subscribe(const SourceKey&, std::function<void(const RtpPacketIn&)>) override { return 7; }
  void Unsubscribe(SubscriptionId) override {}
  void RequestKeyframe(SubscriptionId) override {}
  ReceptionStats Stats(SubscriptionId) const override { return {}; }
  bool Registered() const override { return true; }
  TransportCounters Counters() const override { return {}; }

  std::vector<std::string> Calls() {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }
  bool Published(const std::string& id) {
    std::lock_guard<std::mutex> lock(mutex_);
    return published_[id];
  }

  std::string held;
  std::string held_call = "publish";
  HANDLE inside = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ~HeldPublications() override {
    CloseHandle(inside);
    CloseHandle(go);
  }

 private:
  void Note(const std::string& call, const std::string& id) {
    bool hold;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      calls_.push_back(call);
      hold = id == held && call == held_call + " " + id && !holding_;
      holding_ = holding_ || hold;
    }
    if (!hold) return;
    SetEvent(inside);
    WaitForSingleObject(go, INFINITE);
  }

  std::mutex mutex_;
  std::vector<std::string> calls_;
  std::map<std::string, bool> published_;
  bool holding_ = false;
};

// A camera of this framework as far as the network sees it: a frame tap.
class TapDevice final : public IUnknown, public IVideoFrameTap {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  uint64_t AddFrameSink(Sink) override { return ++sinks; }
  void RemoveFrameSink(uint64_t) override {}
  std::atomic<uint64_t> sinks{0};
};

// Tells when a change of a video id waits for another change of that id.
HANDLE g_turn_waits = nullptr;
void NoteTurnWait() { SetEvent(g_turn_waits); }

// While a publication is inside the transport's Publish, the network's other calls (another
// video's parameters, a reception's stop) do not wait for it.
TEST(VideoNetworkTest, PublishingHoldsNoLockOverTheTransport) {
  auto transport = std::make_shared<HeldPublications>();
  transport->held = "cam";
  HeldRenders renders;
  TapDevice camera;
  VideoNetwork net;
  net.Bind(transport, &renders);
  std::thread publish([&] { EXPECT_EQ(net.AddSource("cam", &camera), S_OK); });
  ASSERT_EQ(WaitForSingleObject(transport->inside, INFINITE), WAIT_OBJECT_0);
  auto others = std::async(std::launch::async, [&] {
    const HRESULT param = net.SetSourceParam("screen", 1);
    const HRESULT stop = net.StopReceive("alice", "cam");
    return param == E_INVALIDARG && stop == S_OK;
  });
  // Bounds a deadlock, times nothing: the calls take no time without one.
  const bool went_on = others.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
  SetEvent(transport->go);
  publish.join();
  EXPECT_TRUE(went_on) << "the network's calls waited for a publication inside the transport";
  EXPECT_TRUE(others.get());
  EXPECT_EQ(net.SetSourceParam("cam", 1), S_OK);
  EXPECT_EQ(camera.sinks.load(), 1u);
  net.Close();
}

// A publication of an id whose removal is still inside the transport's Unpublish waits for
// that removal, so the removal does not end the new publication.
TEST(VideoNetworkTest, RepublishWaitsForTheRemovalOfItsId) {
  auto transport = std::make_shared<HeldPublications>();
  HeldRenders renders;
  TapDevice camera;
  VideoNetwork net;
  net.Bind(transport, &renders);
  ASSERT_EQ(net.AddSource("cam", &camera), S_OK);
  transport->held = "cam";
  transport->held_call = "unpublish";
  std::thread remove([&] { EXPECT_EQ(net.RemoveSource("cam"), S_OK); });
  ASSERT_EQ(WaitForSingleObject(transport->inside, INFINITE), WAIT_OBJECT_0);
  const kiv_common::UniqueHandle waits(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  const kiv_common::UniqueHandle added(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  g_turn_waits = waits.get();
  KeyedTurns::SetWaitObserver(&NoteTurnWait);
  std::thread republish([&] {
    EXPECT_EQ(net.AddSource("cam", &camera), S_OK);
    SetEvent(added.get());
  });
  const HANDLE either[2] = {waits.get(), added.get()};
  const bool waited = WaitForMultipleObjects(2, either, FALSE, INFINITE) == WAIT_OBJECT_0;
  SetEvent(transport->go);
  remove.join();
  republish.join();
  KeyedTurns::SetWaitObserver(nullptr);
  EXPECT_TRUE(waited) << "the new publication started while the old one was being removed";
  EXPECT_EQ(transport->Calls(), (std::vector<std::string>{"publish cam", "unpublish cam", "publish cam"}));
  EXPECT_TRUE(transport->Published("cam")) << "the removal ended the new publication";
  net.Close();
  EXPECT_FALSE(transport->Published("cam"));
}

// A reception restarted while its picture is in the owner's render, which stops another
// reception from there: the stop is not held up by the restart, and both finish.
TEST(VideoNetworkTest, RestartWaitsForThePictureWithoutTheLock) {
  constexpr int kWidth = 320, kHeight = 240, kRate = 15;
  ReplayTransport recording;
  {
    VideoSender sender(Borrow(recording), kMediaVideo, "cam", 0x5C4EE7);
    ASSERT_TRUE(sender.Start());
    I420Image picture;
    picture.Resize(kWidth, kHeight);
    for (uint32_t n = 0; n < 3; ++n) {
      DrawTestPattern(1, n, {"camera", "frame " + std::to_string(n)}, &picture);
      sender.OnPicture(picture.data.data(), kWidth, kHeight, kRate, 300000, 1000 + n * 1000 / kRate);
    }
  }
  auto transport = std::make_shared<GatedTransport>();
  HeldRenders renders;
  VideoNetwork net;
  net.Bind(transport, &renders);
  ASSERT_EQ(net.StartReceive("alice", "cam", 1), S_OK);  // subscription 1
  ASSERT_EQ(net.StartReceive("bob", "cam", 2), S_OK);    // subscription 2
  bool stopped_in_render = false;
  std::future<HRESULT> stop;  // outlives the render's call, which may wait for it
  renders.in_first = [&] {
    stop = std::async(std::launch::async, [&] { return net.StopReceive("bob", "cam"); });
    // Bounds a deadlock, times nothing: the stop takes no time without one.
    stopped_in_render = stop.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
  };
  std::thread delivery([&] { transport->Deliver(1, recording.sent_); });
  ASSERT_EQ(WaitForSingleObject(renders.inside, INFINITE), WAIT_OBJECT_0);
  std::thread restart([&] { EXPECT_EQ(net.StartReceive("alice", "cam", 1), S_OK); });
  ASSERT_EQ(WaitForSingleObject(transport->unsubscribing, INFINITE), WAIT_OBJECT_0);
  SetEvent(renders.go);
  delivery.join();
  restart.join();
  EXPECT_TRUE(stopped_in_render) << "the stop waited for the restart, which waited for the picture";
  ASSERT_TRUE(stop.valid());
  EXPECT_EQ(stop.get(), S_OK);
  net.Close();
}

}  // namespace
}  // namespace tessarine::media
