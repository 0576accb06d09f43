// The voice side of the media network against a scripted transport: starts and stops of
// one remote audio that overlap leave exactly what the last of them asked for; a
// publication held inside its source holds up no other call, and a removal ends before the
// next publication of its id starts.
#include "voice_net.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <mutex>
#include <set>
#include <thread>

#include "audio_source_port.h"
#include "avcore/audio_processing.h"
#include "avcore/ids.h"
#include "keyed_turns.h"

namespace tessarine {
namespace {

// A device that only has the source port VoiceNet asks for.
class PortOnlyDevice final : public avcore::IAudioDevice, public IAudioSourcePort {
 public:
  HRESULT AVCORE_CALL QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (IsEqualGUID(iid, IID_IAudioSourcePort)) {
      *out = static_cast<IAudioSourcePort*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AVCORE_CALL AddRef() override { return 2; }
  ULONG AVCORE_CALL Release() override { return 1; }
  HRESULT AVCORE_CALL SetSendSink(IAudioSendSink*) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL WriteStream(int32_t, const void*, int32_t) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL DeliverStreamPacket(int32_t, const void*, int32_t, int32_t) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL DeliverVoicePacket(int32_t, const VoicePacket*) override { return S_OK; }
  HRESULT AVCORE_CALL GetPlayingDeviceName(wchar_t*, int32_t) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL Open() override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL Close() override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL StartCapture(int32_t) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL StopCapture() override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL StartPlay(int32_t) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL StopPlay() override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL GetParam(int32_t, void*, int32_t) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL SetParam(int32_t, const void*, int32_t) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL GetAudioFormat(WAVEFORMATEX*) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL GetCaptureFormat(WAVEFORMATEX*) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL AddCapProcessedDataSink(avcore::IAudioDataSink*, void*) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL RemoveCapProcessedDataSink(avcore::IAudioDataSink*) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL AddPlayDataSink(avcore::IAudioDataSink*, void*) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL RemovePlayDataSink(avcore::IAudioDataSink*) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL AddMixDataSink(avcore::IAudioDataSink*, void*) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL RemoveMixDataSink(avcore::IAudioDataSink*) override { return E_NOTIMPL; }
  int32_t AVCORE_CALL CreateAudioStream(int32_t, int32_t) override { return 0; }
  HRESULT AVCORE_CALL RemoveAudioStream(int32_t) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL AddRemoteEncodedDataSink(int32_t, avcore::IAudioDataSink*, void*) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL RemoveRemoteEncodedDataSink(avcore::IAudioDataSink*) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL GetStreamInfo(int32_t, int32_t*, int32_t*, int32_t*) override { return E_NOTIMPL; }
  int32_t AVCORE_CALL GetCaptureDeviceCount() override { return 0; }
  HRESULT AVCORE_CALL GetCaptureDeviceName(int32_t, wchar_t*, int32_t) override { return E_NOTIMPL; }
  int32_t AVCORE_CALL GetPlayDeviceCount() override { return 0; }
  HRESULT AVCORE_CALL GetPlayDeviceName(int32_t, wchar_t*, int32_t) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL GetSpeakerVolume(int32_t*, int32_t*, int32_t*) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL SetSpeakerVolume(int32_t) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL GetMicrophoneVolume(int32_t*, int32_t*, int32_t*) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL SetMicrophoneVolume(int32_t) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL GetSpeakerSwitch(int32_t*) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL SetSpeakerSwitch(uint8_t) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL GetMicrophoneSwitch(int32_t*) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL SetMicrophoneSwitch(uint8_t) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL GetSpeakerEnergy(int32_t*, int32_t*, int32_t*) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL GetMicrophoneEnergy(int32_t*, int32_t*, int32_t*) override { return E_NOTIMPL; }
};

// Keeps the live subscriptions; the first Subscribe can be held until the test lets it go.
class SubscriptionLedger final : public media::IMediaTransport {
 public:
  bool Publish(int, const std::string& id, uint32_t, media::SourceFeedback) override {
    std::lock_guard<std::mutex> lock(mutex_);
    published_.insert(id);
    return true;
  }
  void Unpublish(int, const std::string& id) override {
    std::lock_guard<std::mutex> lock(mutex_);
    published_.erase(id);
  }
  bool SendRtp(uint32_t, uint8_t, bool, uint32_t, const uint8_t*, size_t) override { return true; }
  media::SubscriptionId Subscribe(const media::SourceKey&, std::function<void(const media::RtpPacketIn&)>) override {
    media::SubscriptionId id;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      id = ++next_;
      live_.insert(id);
    }
    if (id == 1 && hold_first) {
      SetEvent(inside);
      WaitForSingleObject(release, INFINITE);
    }
    return id;
  }
  void Unsubscribe(media::SubscriptionId id) override {
    std::lock_guard<std::mutex> lock(mutex_);
    live_.erase(id);
  }
  void RequestKeyframe(media::SubscriptionId) override {}
  media::ReceptionStats Stats(media::SubscriptionId) const override { return {}; }
  bool Registered() const override { return true; }
  media::TransportCounters Counters() const override { return {}; }

  std::set<media::SubscriptionId> Live() {
    std::lock_guard<std::mutex> lock(mutex_);
    return live_;
  }
  bool Published(const std::string& id) {
    std::lock_guard<std::mutex> lock(mutex_);
    return published_.count(id) != 0;
  }

  bool hold_first = true;
  HANDLE inside = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ~SubscriptionLedger() override {
    CloseHandle(inside);
    CloseHandle(release);
  }

 private:
  std::mutex mutex_;
  std::set<media::SubscriptionId> live_;
  std::set<std::string> published_;
  media::SubscriptionId next_ = 0;
};

// An encoded source of the SDK's kind; `hold` runs inside AddDataSink or RemoveDataSink.
class EncodedSource final : public avcore::IAudioEncSource {
 public:
  HRESULT AVCORE_CALL QueryInterface(REFIID iid, void** out) override {
    *out = IsEqualGUID(iid, avcore::IID_IAudioEncSource) ? static_cast<avcore::IAudioEncSource*>(this) : nullptr;
    return *out ? S_OK : E_NOINTERFACE;
  }
  ULONG AVCORE_CALL AddRef() override { return 2; }
  ULONG AVCORE_CALL Release() override { return 1; }
  HRESULT AVCORE_CALL AddDataSink(avcore::IAudioDataSink* sink, void*) override {
    if (on_add) on_add();
    sinks.insert(sink);
    return S_OK;
  }
  HRESULT AVCORE_CALL RemoveDataSink(avcore::IAudioDataSink* sink) override {
    if (on_remove) on_remove();
    sinks.erase(sink);
    return S_OK;
  }
  HRESULT AVCORE_CALL SetParam(int32_t, const int32_t*, int32_t) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL ProcessorCall(int32_t, void*, int32_t) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL Notify(int32_t) override { return S_OK; }

  std::function<void()> on_add, on_remove;
  std::set<avcore::IAudioDataSink*> sinks;
};

// Holds a thread at Arrive() until the test calls Go().
struct Hold {
  void Arrive() {
    SetEvent(inside);
    WaitForSingleObject(go, INFINITE);
  }
  void WaitInside() { ASSERT_EQ(WaitForSingleObject(inside, INFINITE), WAIT_OBJECT_0); }
  void Go() { SetEvent(go); }
  HANDLE inside = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ~Hold() {
    CloseHandle(inside);
    CloseHandle(go);
  }
};

// Tells when a change of an audio id waits for another change of that id.
HANDLE g_turn_waits = nullptr;
void NoteTurnWait() { SetEvent(g_turn_waits); }

struct VoiceNetTest : ::testing::Test {
  // Starts (alice, mic) on a thread of its own, held inside its Subscribe; `then` runs
  // meanwhile, and the start is let go after it.
  void WhileTheFirstStartSubscribes(const std::function<void()>& then) {
    std::thread first([&] { start_result = net.StartRecv("alice", "mic", 1); });
    ASSERT_EQ(WaitForSingleObject(ledger->inside, INFINITE), WAIT_OBJECT_0);
    then();
    SetEvent(ledger->release);
    first.join();
  }
  std::shared_ptr<SubscriptionLedger> ledger = std::make_shared<SubscriptionLedger>();
  PortOnlyDevice device;
  VoiceNet net{ledger, &device};
  HRESULT start_result = E_UNEXPECTED;
};

// A stop that comes while a start subscribes: nothing is received afterwards.
TEST_F(VoiceNetTest, StopDuringAStartLeavesNothingSubscribed) {
  WhileTheFirstStartSubscribes([&] { EXPECT_EQ(net.StopRecv("alice", "mic"), S_OK); });
  EXPECT_EQ(start_result, S_OK);
  EXPECT_TRUE(ledger->Live().empty()) << "received after StopRecv";
  EXPECT_EQ(net.StopRecv("alice", "mic"), S_FALSE);
}

// A second start that comes while the first subscribes: only its subscription stays, and
// a stop ends it.
TEST_F(VoiceNetTest, SecondStartDuringTheFirstKeepsOneSubscription) {
  WhileTheFirstStartSubscribes([&] { EXPECT_EQ(net.StartRecv("alice", "mic", 2), S_OK); });
  EXPECT_EQ(ledger->Live(), std::set<media::SubscriptionId>{2});
  EXPECT_EQ(net.StopRecv("alice", "mic"), S_OK);
  EXPECT_TRUE(ledger->Live().empty());
}

// Without overlap a second start moves the pair: one subscription, the newer.
TEST_F(VoiceNetTest, RestartReplacesTheSubscription) {
  ledger->hold_first = false;
  ASSERT_EQ(net.StartRecv("alice", "mic", 1), S_OK);
  ASSERT_EQ(net.StartRecv("alice", "mic", 2), S_OK);
  ASSERT_EQ(net.StartRecv("bob", "mic", 3), S_OK);
  EXPECT_EQ(ledger->Live(), (std::set<media::SubscriptionId>{2, 3}));
  net.Clear();
  EXPECT_TRUE(ledger->Live().empty());
}

// A publication held inside its source's AddDataSink (the SDK's source may wait there for
// a frame on its way to the network): the network's receptions go on meanwhile.
TEST_F(VoiceNetTest, PublicationInsideItsSourceHoldsUpNoReception) {
  ledger->hold_first = false;
  EncodedSource source;
  Hold hold;
  source.on_add = [&] { hold.Arrive(); };
  std::thread publish([&] { EXPECT_EQ(net.AddSource("appdef_mic", &source), S_OK); });
  hold.WaitInside();
  auto receptions = std::async(
      std::launch::async, [&] { return net.StartRecv("bob", "mic", 3) == S_OK && net.StopRecv("bob", "mic") == S_OK; });
  // Bounds a deadlock, times nothing: the calls take no time without one.
  const bool went_on = receptions.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
  hold.Go();
  publish.join();
  EXPECT_TRUE(went_on) << "a reception waited for a publication inside its source";
  EXPECT_TRUE(receptions.get());
  EXPECT_EQ(net.AddSource("appdef_mic", &source), S_FALSE) << "the first source stays";
  EXPECT_EQ(source.sinks.size(), 1u);
  net.Clear();
  EXPECT_TRUE(source.sinks.empty());
  EXPECT_FALSE(ledger->Published("appdef_mic"));
}

// A publication of an id whose source is still being detached waits for the removal, so
// the removal's end of the old publication does not end the new one.
TEST_F(VoiceNetTest, RepublishWaitsForTheRemovalOfItsId) {
  ledger->hold_first = false;
  EncodedSource source;
  Hold hold;
  ASSERT_EQ(net.AddSource("appdef_mic", &source), S_OK);
  std::atomic<bool> first{true};
  source.on_remove = [&] {
    if (first.exchange(false)) hold.Arrive();
  };
  std::thread remove([&] { EXPECT_EQ(net.RemoveSource("appdef_mic"), S_OK); });
  hold.WaitInside();
  const HANDLE waits = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  const HANDLE added = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  g_turn_waits = waits;
  KeyedTurns::SetWaitObserver(&NoteTurnWait);
  std::thread republish([&] {
    EXPECT_EQ(net.AddSource("appdef_mic", &source), S_OK);
    SetEvent(added);
  });
  const HANDLE either[2] = {waits, added};
  const bool waited = WaitForMultipleObjects(2, either, FALSE, INFINITE) == WAIT_OBJECT_0;
  hold.Go();
  remove.join();
  republish.join();
  KeyedTurns::SetWaitObserver(nullptr);
  CloseHandle(waits);
  CloseHandle(added);
  EXPECT_TRUE(waited) << "the new publication started while the old source was being detached";
  EXPECT_TRUE(ledger->Published("appdef_mic")) << "the removal ended the new publication";
  EXPECT_EQ(source.sinks.size(), 1u);
  net.Clear();
}

}  // namespace
}  // namespace tessarine
