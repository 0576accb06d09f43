// The voice side of the media network against a scripted transport: starts and stops of
// one remote audio that overlap leave exactly what the last of them asked for.
#include "voice_net.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <set>
#include <thread>

#include "audio_source_port.h"

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
  bool Publish(int, const std::string&, uint32_t, media::SourceFeedback) override { return true; }
  void Unpublish(int, const std::string&) override {}
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
  media::SubscriptionId next_ = 0;
};

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

}  // namespace
}  // namespace tessarine
