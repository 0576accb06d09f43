// Streams met by two threads at once, each meeting forced: one thread is held inside a
// scripted framework call or an observer while the other runs; and what a repeated or
// empty request does to the local streams.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/win/unique_handle.h"
#include "core/core_engine.h"
#include "core/env/core_env.h"
#include "core/env/testing/media_fakes.h"
#include "core/streams/local_audio_stream.h"
#include "core/testing/lock_wait_probe.h"
#include "core/testing/logged_in_core.h"
#include "core/testing/recording_core_events.h"
#include "core/testing/thread_latch.h"
#include "kiv_error.h"

using kiv_core::CoreEnv;
using kiv_core::ERR_FAILED;
using kiv_core::ERR_INVALID_PARAM;
using kiv_core::ERR_OK;
using Calls = std::vector<std::string>;

namespace {

HWND Wnd(uintptr_t n) { return reinterpret_cast<HWND>(n); }

// Holds the frame thread inside its first render frame; says whether it was deleted while
// a frame was inside.
struct HeldObserver : kiv_core::ICoreVideoFrameObserver {
  HeldObserver(kiv_test::ThreadLatch* latch, std::atomic<int>* state) : latch(latch), state(state) {}
  ~HeldObserver() override { *state = *state == kInside ? kDeletedInside : kDeleted; }
  void OnCaptureFrame(int, kiv_core::CoreVideoFrame*) override {}
  void OnRenderFrame(const char*, const char*, kiv_core::CoreVideoFrame*) override {
    kiv_test::ExpectNoLockHeld("ICoreVideoFrameObserver::OnRenderFrame");
    *state = kInside;
    latch->Arrive();
    *state = kIdle;
  }
  static constexpr int kIdle = 0, kInside = 1, kDeleted = 2, kDeletedInside = 3;
  kiv_test::ThreadLatch* latch;
  std::atomic<int>* state;
};

// Holds the frame thread inside its first render frame, then runs `then` there.
struct ThenObserver : kiv_core::ICoreVideoFrameObserver {
  ThenObserver(kiv_test::ThreadLatch* latch, std::function<void()> then) : latch(latch), then(std::move(then)) {}
  void OnCaptureFrame(int, kiv_core::CoreVideoFrame*) override {}
  void OnRenderFrame(const char*, const char*, kiv_core::CoreVideoFrame*) override {
    if (held.exchange(true)) return;
    latch->Arrive();
    then();
  }
  kiv_test::ThreadLatch* latch;
  std::function<void()> then;
  std::atomic<bool> held{false};
};

struct QuietObserver : kiv_core::ICoreVideoFrameObserver {
  void OnCaptureFrame(int, kiv_core::CoreVideoFrame*) override {}
  void OnRenderFrame(const char*, const char*, kiv_core::CoreVideoFrame*) override {}
};

struct StreamThreadsTest : ::testing::Test {
  StreamThreadsTest() {
    media.Install(CoreEnv::Instance());
    kiv_media_fake::LogInCore(core, &events, media);
  }
  ~StreamThreadsTest() override { kiv_media_fake::ReleaseCore(core); }
  kiv_media_fake::Media media;
  kiv_media_fake::RecordingCoreEvents events;
  kiv_core::CoreEngine core;
};

// Keeps the decoded frames of a remote audio as lines.
struct RawFrames : kiv_core::ICoreRemoteRawAudioObserver {
  explicit RawFrames(Calls* seen) : seen(seen) {}
  void OnRemoteRawAudioFrame(const std::string& u, const std::string& a, kiv_core::CoreAudioFrame*) override {
    kiv_test::ExpectNoLockHeld("ICoreRemoteRawAudioObserver::OnRemoteRawAudioFrame");
    seen->push_back(u + " " + a);
  }
  Calls* seen;
};

// Holds the audio thread inside its first decoded frame.
struct HeldRawFrames : kiv_core::ICoreRemoteRawAudioObserver {
  void OnRemoteRawAudioFrame(const std::string&, const std::string&, kiv_core::CoreAudioFrame*) override {
    inside = true;
    latch.Arrive();
    inside = false;
  }
  kiv_test::ThreadLatch latch;
  std::atomic<bool> inside{false};
};

// Keeps the cameras of the captured frames.
struct CaptureFrames : kiv_core::ICoreVideoFrameObserver {
  explicit CaptureFrames(Calls* seen) : seen(seen) {}
  void OnCaptureFrame(int camera, kiv_core::CoreVideoFrame*) override {
    kiv_test::ExpectNoLockHeld("ICoreVideoFrameObserver::OnCaptureFrame");
    seen->push_back("capture " + std::to_string(camera));
  }
  void OnRenderFrame(const char*, const char*, kiv_core::CoreVideoFrame*) override {}
  Calls* seen;
};

// One 20 ms packet of codec 1 at 16000 Hz with a byte of payload.
std::vector<uint8_t> AudioPacket() {
  std::vector<uint8_t> packet(7, 0);
  packet[0] = static_cast<uint8_t>(1 | (1 << 6));
  const uint32_t word = 500u | (1u << 27);
  for (int i = 0; i < 4; ++i) packet[2 + i] = static_cast<uint8_t>(word >> (8 * i));
  return packet;
}

// The audio device with a hook run inside a playback stream's creation and one inside the
// stream information request, each after the call was logged.
struct HookedAudio : kiv_media_fake::Audio {
  using Audio::Audio;
  int32_t AVCORE_CALL CreateAudioStream(int32_t kind, int32_t flags) override {
    const int32_t id = Audio::CreateAudioStream(kind, flags);
    if (onCreateStream) onCreateStream();
    return id;
  }
  HRESULT AVCORE_CALL GetStreamInfo(int32_t id, int32_t* level, int32_t* b, int32_t* c) override {
    if (onStreamInfo) onStreamInfo();
    return Audio::GetStreamInfo(id, level, b, c);
  }
  std::function<void()> onCreateStream, onStreamInfo;
};

struct RemoteAudioThreadsTest : StreamThreadsTest {
  RemoteAudioThreadsTest() { CoreEnv::Instance()->m_audiodevice.Attach(&audio); }
  ~RemoteAudioThreadsTest() override { CoreEnv::Instance()->m_audiodevice.Attach(&media.audio); }
  HookedAudio audio{&media.log};
};

// Holds the first remote-video event inside the handler until the test lets it go, then
// asks the engine for the video's statistics (a lookup in the stream manager).
struct EngineCallingEvents : kiv_media_fake::RecordingCoreEvents {
  kiv_core::CoreEngine* core = nullptr;
  kiv_test::ThreadLatch latch;
  std::atomic<bool> held{false};
  int stats = -1;
  void OnRemoteVideoEvent(const std::string& u, const std::string& v, int s) override {
    RecordingCoreEvents::OnRemoteVideoEvent(u, v, s);
    if (held.exchange(true)) return;
    latch.Arrive();
    int w = 0, h = 0, fps = 0, bps = 0;
    stats = core->GetVideoStats(u, v, &w, &h, &fps, &bps);
  }
};

// Holds the first audio announcement's event inside the handler.
struct HeldAudioEvents : kiv_media_fake::RecordingCoreEvents {
  kiv_test::ThreadLatch latch;
  std::atomic<bool> held{false};
  void OnRemoteAudioEvent(const std::string& u, const std::string& a, int s) override {
    RecordingCoreEvents::OnRemoteAudioEvent(u, a, s);
    if (!held.exchange(true)) latch.Arrive();
  }
};

}  // namespace

// The first frame's event reaches a handler that asks the engine about the video while the
// application's thread destroys the streams; the render's removal waits for that event
// (as the framework's does). The destruction holds no lock there, so the handler's lookup
// ends and so does the destruction.
TEST(StreamEventThreadsTest, FirstFrameEventWhileStreamsAreDestroyed) {
  kiv_media_fake::Media media;
  EngineCallingEvents events;
  kiv_core::CoreEngine core;
  events.core = &core;
  media.Install(CoreEnv::Instance());
  kiv_media_fake::LogInCore(core, &events, media);
  ASSERT_EQ(core.SetRemoteVideoRender("a", "v", Wnd(5), 3), ERR_OK);
  const avcore::EventRecord ev = media.renders.events[100];
  ASSERT_NE(ev.proc, nullptr);
  const kiv_common::UniqueHandle doneEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  const HANDLE done = doneEvent.get();
  std::thread framework([&] {
    (void)ev.proc(0, 0x1001, 0, 0, ev.context);
    SetEvent(done);
  });
  events.latch.WaitArrived();
  bool eventEnded = false;
  media.renders.onRemoveRender = [&] {
    events.latch.Release();
    eventEnded = WaitForSingleObject(done, 10000) == WAIT_OBJECT_0;
  };
  core.GetStreamManager()->DestroyStreams();
  media.renders.onRemoveRender = nullptr;
  events.latch.Release();
  framework.join();
  EXPECT_TRUE(eventEnded) << "the render's removal waited for an event that waits for the stream manager";
  EXPECT_EQ(events.stats, ERR_FAILED) << "the stream had left the table before its render went";
  kiv_media_fake::ReleaseCore(core);
}

// A render's first-frame event that comes after its stream went (the framework reports it
// outside its removal): it finds no stream, reads nothing freed and reports nothing.
TEST_F(StreamThreadsTest, FirstFrameEventAfterTheStreamWent) {
  ASSERT_EQ(core.SetRemoteVideoRender("a", "v", Wnd(5), 3), ERR_OK);
  const avcore::EventRecord ev = media.renders.events[100];
  ASSERT_NE(ev.proc, nullptr);
  ASSERT_EQ(core.SetRemoteVideoRender("a", "v", nullptr, 3), ERR_OK);
  ASSERT_EQ(core.GetStreamManager()->FindRemoteVideoStream("a", "v"), nullptr);
  events.lines.clear();
  (void)ev.proc(0, 0x1001, 0, 0, ev.context);
  EXPECT_TRUE(events.lines.empty()) << events.lines.front();
}

// Replacing one user's raw audio observer while a frame is in it: the registration waits
// for that frame with no lock held, so another user's subscription does not queue behind it.
TEST_F(StreamThreadsTest, ObserverReplacementHoldsUpNoOtherSubscription) {
  auto held = std::make_shared<HeldRawFrames>();
  core.RegisterRemoteRawAudioObserver("a", "appdef_mic", held);
  avcore::IAudioDataSink* sink = media.audio.encodedSink;
  ASSERT_NE(sink, nullptr);
  std::vector<uint8_t> packet = AudioPacket();
  std::thread framework([&] { (void)sink->OnAudioData(packet.data(), 7, nullptr); });
  held->latch.WaitArrived();
  Calls frames;
  kiv_test::LockWaitProbe replace(
      [&] { core.RegisterRemoteRawAudioObserver("a", "appdef_mic", std::make_shared<RawFrames>(&frames)); });
  ASSERT_TRUE(replace.WaitsForLock()) << "the replacement did not wait for the frame in the observer";
  int subscribed = -1;
  kiv_test::LockWaitProbe other([&] { subscribed = core.SubscribeRemoteAudio("b", "appdef_mic"); });
  EXPECT_FALSE(other.WaitsForLock()) << "another user's subscription waited for the observer's frame";
  held->latch.Release();
  framework.join();
  other.Join();
  replace.Join();
  EXPECT_EQ(subscribed, ERR_OK);
  EXPECT_NE(core.GetStreamManager()->FindRemoteAudioStream("b", "appdef_mic"), nullptr);
}

// Leaving the group while an announced audio's event is still in the handler, before its
// subscription starts: the subscription that follows the leave makes no stream and no record.
TEST(StreamEventThreadsTest, LeaveBetweenAnnouncementAndSubscription) {
  kiv_media_fake::Media media;
  HeldAudioEvents events;
  kiv_core::CoreEngine core;
  media.Install(CoreEnv::Instance());
  kiv_media_fake::LogInCore(core, &events, media);
  CoreEnv::Instance()->m_config.audioAutoRecv = true;
  std::thread framework([&] {
    core.OnMediaChanged({kiv_core::MediaRecord("a", "appdef_mic", "", "", kiv_core::kMediaAudio, true)}, false);
  });
  events.latch.WaitArrived();
  (void)core.LeaveGroup();
  events.latch.Release();
  framework.join();
  EXPECT_EQ(core.GetStreamManager()->FindRemoteAudioStream("a", "appdef_mic"), nullptr)
      << "a stream outlived the leave";
  EXPECT_TRUE(core.GetStreamManager()->GetMediaRecords().empty()) << "a record outlived the leave";
  for (const std::string& call : media.log.Take()) EXPECT_EQ(call.find("StartRecvMedia"), std::string::npos) << call;
  kiv_media_fake::ReleaseCore(core);
}

// Leaving the group while a decoded frame is in the raw observer: the observer outlives
// the frame; it goes once the frame is done.
TEST_F(StreamThreadsTest, RemoteVideoObserverOutlivesFrameInProgress) {
  ASSERT_EQ(core.SetRemoteVideoRender("a", "v", Wnd(5), 3), ERR_OK);
  kiv_test::ThreadLatch latch;
  std::atomic<int> state{HeldObserver::kIdle};
  ASSERT_EQ(core.RegisterRenderVideoFrameObserver("a", "v", std::make_unique<HeldObserver>(&latch, &state)), ERR_OK);
  const auto raw = media.renders.raw[100];
  ASSERT_NE(raw.frame, nullptr);
  avcore::VideoFrame frame{};
  frame.width = 320;
  std::thread framework([&] { (void)raw.frame(raw.context, &frame); });
  latch.WaitArrived();

  kiv_test::LockWaitProbe leave([&] { core.GetStreamManager()->DestroyStreams(); });
  EXPECT_TRUE(leave.WaitsForLock());
  EXPECT_EQ(state.load(), HeldObserver::kInside) << "the observer was deleted under a frame";
  latch.Release();
  framework.join();
  leave.Join();
  EXPECT_EQ(state.load(), HeldObserver::kDeleted);
  EXPECT_EQ(core.GetStreamManager()->FindRemoteVideoStream("a", "v"), nullptr);
}

// The main render's value callback while the extended render it would pass the value to is
// being removed: the render left the table before the framework's removal, which runs with
// no lock held, so the callback neither waits nor finds a render to pass the value to.
TEST_F(StreamThreadsTest, RemoteVideoValueWhileExtendedRenderGoes) {
  ASSERT_EQ(core.SetRemoteVideoRender("a", "v", Wnd(5), 3), ERR_OK);
  auto stream = core.GetStreamManager()->FindRemoteVideoStream("a", "v");
  ASSERT_NE(stream, nullptr);
  ASSERT_EQ(stream->SetExtendRender(1, Wnd(6), 3), ERR_OK);
  const auto raw = media.renders.raw[100];
  ASSERT_NE(raw.value, nullptr);
  int passed = -1;
  bool waited = false;
  std::unique_ptr<kiv_test::LockWaitProbe> value;
  media.renders.onRemoveRender = [&] {
    value = std::make_unique<kiv_test::LockWaitProbe>([&] { passed = raw.value(raw.context, 7); });
    waited = value->WaitsForLock();
  };
  media.log.Take();
  ASSERT_EQ(stream->SetExtendRender(1, nullptr, 3), ERR_OK);
  media.renders.onRemoveRender = nullptr;
  ASSERT_NE(value, nullptr);
  value->Join();
  EXPECT_FALSE(waited) << "the value callback waited for a lock held across the render's removal";
  EXPECT_EQ(passed, 0);
  for (const std::string& call : media.log.Take()) EXPECT_EQ(call.find("NotifyRender"), std::string::npos) << call;
}

// A remote user leaving while its audio is being subscribed on another thread: the leave
// does not wait for the subscription's framework call; the thread at work stops the stream
// after its start, and neither the stream nor its record is left.
TEST_F(StreamThreadsTest, LeavingUserDuringSubscription) {
  kiv_test::ThreadLatch latch;
  bool held = false;
  media.net.onStartRecv = [&] {
    if (held) return;
    held = true;
    latch.Arrive();
  };
  int subscribed = -1;
  std::thread subscriber([&] { subscribed = core.SubscribeRemoteAudio("a", "appdef_mic"); });
  latch.WaitArrived();

  kiv_test::LockWaitProbe left([&] { core.OnRemoteUser("a", false); });
  EXPECT_FALSE(left.WaitsForLock()) << "the leave waited for another thread's framework call";
  latch.Release();
  subscriber.join();
  left.Join();
  EXPECT_EQ(subscribed, ERR_OK);
  EXPECT_EQ(media.log.Take(), (Calls{"CreateAudioStream 1 -> 11", "StartRecvMedia a 1 appdef_mic 11",
                                     "StopRecvMedia a 1 appdef_mic", "RemoveAudioStream 11"}));
  EXPECT_EQ(core.GetStreamManager()->FindRemoteAudioStream("a", "appdef_mic"), nullptr);
  EXPECT_TRUE(core.GetStreamManager()->GetMediaRecords().empty());
}

// Leaving the group while a "GS" announcement subscribes its audio on a framework thread:
// the streams go once the subscription is done, and neither the stream nor its record is
// left after the leave.
TEST_F(StreamThreadsTest, LeavingGroupWaitsForAnnouncedSubscription) {
  kiv_test::ThreadLatch latch;
  std::atomic<bool> held{false};
  media.net.onStartRecv = [&] {
    if (!held.exchange(true)) latch.Arrive();
  };
  std::thread framework([&] {
    core.OnMediaChanged({kiv_core::MediaRecord("a", "appdef_mic", "", "", kiv_core::kMediaAudio, true)}, false);
  });
  latch.WaitArrived();

  kiv_test::LockWaitProbe leave([&] { (void)core.LeaveGroup(); });
  EXPECT_TRUE(leave.WaitsForLock()) << "the streams went under a subscription";
  latch.Release();
  framework.join();
  leave.Join();
  EXPECT_EQ(core.GetStreamManager()->FindRemoteAudioStream("a", "appdef_mic"), nullptr);
  EXPECT_TRUE(core.GetStreamManager()->GetMediaRecords().empty()) << "the record outlived the leave";
}

// The information of a remote audio read while its user leaves: the read owns the stream,
// which outlives the leave; the leave does not wait for the read.
TEST_F(RemoteAudioThreadsTest, AudioInfoReadWhileUserLeaves) {
  ASSERT_EQ(core.SubscribeRemoteAudio("a", "appdef_mic"), ERR_OK);
  kiv_test::ThreadLatch latch;
  audio.onStreamInfo = [&] { latch.Arrive(); };
  int info = -1;
  std::thread application([&] { info = core.GetRemoteAudioInfo("a", ""); });
  latch.WaitArrived();

  kiv_test::LockWaitProbe left([&] { core.OnRemoteUser("a", false); });
  EXPECT_FALSE(left.WaitsForLock()) << "the leave waited for the information request";
  latch.Release();
  application.join();
  left.Join();
  EXPECT_EQ(info, 77);
  EXPECT_EQ(core.GetStreamManager()->FindRemoteAudioStream("a", "appdef_mic"), nullptr);
}

// A raw observer registered while an announcement subscribes the same audio: the
// registration hands its framework calls to the thread at work, and one playback stream
// serves both.
TEST_F(RemoteAudioThreadsTest, ObserverDuringSubscriptionMakesOnePlaybackStream) {
  kiv_test::ThreadLatch latch;
  std::atomic<bool> held{false};
  audio.onCreateStream = [&] {
    if (!held.exchange(true)) latch.Arrive();
  };
  int subscribed = -1;
  std::thread framework([&] { subscribed = core.SubscribeRemoteAudio("a", "appdef_mic"); });
  latch.WaitArrived();

  Calls frames;
  kiv_test::LockWaitProbe observe(
      [&] { core.RegisterRemoteRawAudioObserver("a", "appdef_mic", std::make_shared<RawFrames>(&frames)); });
  EXPECT_FALSE(observe.WaitsForLock()) << "the registration waited for another thread's framework call";
  latch.Release();
  framework.join();
  observe.Join();
  EXPECT_EQ(subscribed, ERR_OK);
  EXPECT_EQ(media.log.Take(), (Calls{"CreateAudioStream 1 -> 11", "Transcoder.Init 16000",
                                     "StartRecvMedia a 1 appdef_mic 11", "AddRemoteEncodedDataSink 11"}));
}

// Replacing a remote audio's raw observer while a frame is in it: the registration returns
// once that frame is done, and the next frame goes to the new observer only.
TEST_F(StreamThreadsTest, ReplacedRawAudioObserverFinishesItsFrameFirst) {
  auto held = std::make_shared<HeldRawFrames>();
  core.RegisterRemoteRawAudioObserver("a", "appdef_mic", held);
  avcore::IAudioDataSink* sink = media.audio.encodedSink;
  ASSERT_NE(sink, nullptr);
  std::vector<uint8_t> packet = AudioPacket();
  std::thread framework([&] { (void)sink->OnAudioData(packet.data(), 7, nullptr); });
  held->latch.WaitArrived();

  Calls frames;
  bool insideWhenReplaced = true;
  kiv_test::LockWaitProbe replace([&] {
    core.RegisterRemoteRawAudioObserver("a", "appdef_mic", std::make_shared<RawFrames>(&frames));
    insideWhenReplaced = held->inside.load();
  });
  EXPECT_TRUE(replace.WaitsForLock()) << "replaced under a running frame";
  held->latch.Release();
  framework.join();
  replace.Join();
  EXPECT_FALSE(insideWhenReplaced);
  EXPECT_EQ(sink->OnAudioData(packet.data(), 7, nullptr), 7);
  EXPECT_EQ(frames, Calls{"a appdef_mic"});
}

// Holds a leave (the streams' teardown) where it releases the camera, before the camera's
// callback is cleared and before any remote audio is closed: the streams are out of their
// tables and still deliver.
struct HeldTeardown {
  explicit HeldTeardown(kiv_media_fake::Media& media) : media(media) {
    media.camera.onSetCallback = [this] {
      if (!held.exchange(true)) latch.Arrive();
    };
  }
  ~HeldTeardown() { media.camera.onSetCallback = nullptr; }
  kiv_media_fake::Media& media;
  kiv_test::ThreadLatch latch;
  std::atomic<bool> held{false};
};

// A remote audio's raw observer removed while a leave tears its stream down: no stream is
// found, and yet the removal returns only once no frame of the old stream can reach it.
TEST_F(StreamThreadsTest, RawAudioObserverRemovedWhileLeaveClosesItsStream) {
  ASSERT_EQ(core.AddLocalPreview(0, Wnd(5), 3), ERR_OK);
  Calls frames;
  core.RegisterRemoteRawAudioObserver("a", "appdef_mic", std::make_shared<RawFrames>(&frames));
  avcore::IAudioDataSink* sink = media.audio.encodedSink;
  ASSERT_NE(sink, nullptr);
  HeldTeardown teardown(media);
  std::thread leave([&] { core.GetStreamManager()->DestroyStreams(); });
  teardown.latch.WaitArrived();

  core.RegisterRemoteRawAudioObserver("a", "appdef_mic", nullptr);
  std::vector<uint8_t> packet = AudioPacket();
  (void)sink->OnAudioData(packet.data(), 7, nullptr);
  EXPECT_TRUE(frames.empty()) << "the observer was called after its removal returned";
  teardown.latch.Release();
  leave.join();
}

// The same for the camera's capture observer while a leave releases the camera's stream.
TEST_F(StreamThreadsTest, CaptureObserverRemovedWhileLeaveReleasesItsCamera) {
  ASSERT_EQ(core.AddLocalPreview(0, Wnd(5), 3), ERR_OK);
  Calls seen;
  ASSERT_EQ(core.RegisterCaptureVideoFrameObserver(0, std::make_unique<CaptureFrames>(&seen)), ERR_OK);
  ASSERT_NE(media.camera.callback, nullptr);
  HeldTeardown teardown(media);
  std::thread leave([&] { core.GetStreamManager()->DestroyStreams(); });
  teardown.latch.WaitArrived();

  (void)core.RegisterCaptureVideoFrameObserver(0, nullptr);
  std::vector<uint8_t> data(16);
  avcore::VideoFrame frame{4, 2, avcore::kFourccNV12, 4, 0, 0, data.data(), 12};
  (void)media.camera.callback(media.camera.callbackContext, &frame);
  EXPECT_TRUE(seen.empty()) << "the observer was called after its removal returned";
  teardown.latch.Release();
  leave.join();
}

// A second start of the microphone with a pitch set changes nothing: no second processor,
// sink or source, and the one processor is given back at the stop.
TEST_F(StreamThreadsTest, MicrophoneStartedTwice) {
  kiv_core::LocalAudioStream* mic = core.GetStreamManager()->GetLocalAudioStream();
  const int32_t pitch = 3;
  ASSERT_EQ(mic->SetParam(avcore::kAudioParamPitch, &pitch, 4), S_OK);
  const long processorRefs = media.processor.refs;
  ASSERT_EQ(core.StartPublishAudio("appdef_mic"), ERR_OK);
  media.log.Take();
  const size_t sent = media.connection.sent.size();
  EXPECT_EQ(core.StartPublishAudio("appdef_mic"), ERR_OK);
  EXPECT_EQ(media.log.Take(), Calls{});
  EXPECT_EQ(media.connection.sent.size(), sent) << "announced twice";
  EXPECT_EQ(media.processor.refs, processorRefs + 1);
  ASSERT_EQ(core.StopPublishAudio("appdef_mic"), ERR_OK);
  EXPECT_EQ(media.processor.refs, processorRefs);
  EXPECT_EQ(media.audio.capSink, nullptr);
}

// Frames still waiting for the pitch worker when the microphone stops are dropped, so a
// later start begins without them.
TEST_F(StreamThreadsTest, MicrophoneStopDropsWaitingFrames) {
  struct Probe : kiv_core::LocalAudioStream {
    HANDLE WorkerStop() const { return StopEvent(); }
  } mic;
  struct Sink : avcore::IAudioDataSink {
    int32_t AVCORE_CALL OnAudioData(const void*, int32_t length, void*) override { return length; }
  } network;
  const int32_t pitch = 2;
  ASSERT_EQ(mic.SetParam(avcore::kAudioParamPitch, &pitch, 4), S_OK);
  ASSERT_EQ(mic.StartPublish(), ERR_OK);
  mic.AddDataSink(&network, nullptr);
  // The worker is held in its first frame until the stop asks it to end.
  const kiv_common::UniqueHandle insideEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  const HANDLE inside = insideEvent.get();
  media.processor.onProcess = [&] {
    SetEvent(inside);
    WaitForSingleObject(mic.WorkerStop(), INFINITE);
  };
  std::vector<uint8_t> frame(960, 0x11);
  mic.OnAudioData(frame.data(), 960, nullptr);
  WaitForSingleObject(inside, INFINITE);
  for (int i = 0; i < 3; ++i) mic.OnAudioData(frame.data(), 960, nullptr);
  EXPECT_EQ(mic.QueuedFrames(), 3u);
  ASSERT_EQ(mic.StopPublish(), ERR_OK);
  EXPECT_EQ(mic.QueuedFrames(), 0u) << "frames of the stopped chain wait for the next one";
  EXPECT_EQ(media.processor.processed.load(), 1);
  media.processor.onProcess = nullptr;
  mic.RemoveDataSink(&network);
}

// An empty video id publishes nothing and has no statistics, even with a previewing camera;
// a camera change the device refuses is reported.
TEST_F(StreamThreadsTest, EmptyVideoIdAndRefusedCameraChange) {
  ASSERT_EQ(core.AddLocalPreview(0, Wnd(10), 3), ERR_OK);
  EXPECT_EQ(core.StartPublishDeviceVideo("", 0), ERR_INVALID_PARAM);
  EXPECT_EQ(core.StartPublishDeviceVideo("", 1), ERR_INVALID_PARAM);
  ASSERT_NE(core.GetStreamManager()->FindLocalVideoDeviceStreamByCamera(0), nullptr) << "the preview moved";
  EXPECT_EQ(core.GetStreamManager()->FindLocalVideoDeviceStreamByCamera(0)->GetVideoId(), "");
  EXPECT_EQ(core.GetStreamManager()->FindLocalVideoDeviceStreamByCamera(1), nullptr);
  int w = -1, h = -1, fps = -1, bps = -1;
  EXPECT_EQ(core.GetVideoStats("me", "", &w, &h, &fps, &bps), ERR_FAILED);
  EXPECT_EQ(w, 0);
  EXPECT_EQ(fps, 0);

  ASSERT_EQ(core.StartPublishDeviceVideo("v", 0), ERR_OK);
  media.camera.startCapture = E_FAIL;
  EXPECT_EQ(core.StartPublishDeviceVideo("v", 1), ERR_FAILED);
}

// A preview asked for while the camera's stream is released on another thread (held inside
// the render manager's AddRender): the preview is refused and its render removed, on a
// render manager the stream still holds; a preview asked for afterwards is refused without a
// render, and the render manager is given back when the stream goes.
TEST_F(StreamThreadsTest, PreviewOfACameraStreamReleasedMeanwhile) {
  kiv_test::ThreadLatch latch;
  std::atomic<bool> held{false};
  media.previews.onAddRender = [&] {
    if (!held.exchange(true)) latch.Arrive();
  };
  int added = -1;
  std::thread application([&] { added = core.AddLocalPreview(0, Wnd(10), 3); });
  latch.WaitArrived();
  std::shared_ptr<kiv_core::LocalVideoDeviceStream> stream =
      core.GetStreamManager()->FindLocalVideoDeviceStreamByCamera(0);
  ASSERT_NE(stream, nullptr);
  core.GetStreamManager()->DestroyLocalVideoDeviceStream(stream);
  media.log.Take();
  latch.Release();
  application.join();
  media.previews.onAddRender = nullptr;
  EXPECT_EQ(added, ERR_FAILED);
  EXPECT_EQ(media.log.Take(), Calls{"Preview.RemoveRender 1"});
  EXPECT_EQ(stream->PreviewCount(), 0u);

  EXPECT_EQ(stream->AddVideoPreview(Wnd(11), 3), ERR_FAILED);
  EXPECT_EQ(media.log.Take(), Calls{}) << "a released stream started its camera or made a render";
  const long refs = media.previews.refs;
  stream.reset();
  EXPECT_EQ(media.previews.refs, refs - 1);
}

// A frame observer registered while the application unsubscribes the video: the
// registration's raw-callback setting is held inside the framework (which waits there for a
// frame in flight). The unsubscription does not wait for it; it is made (reception stopped,
// the render removed) after the setting, by the thread that set, so no callback is set on a
// removed render.
TEST_F(StreamThreadsTest, RawCallbackSettingDuringTheRenderRemoval) {
  ASSERT_EQ(core.SetRemoteVideoRender("a", "v", Wnd(5), 3), ERR_OK);
  kiv_test::ThreadLatch latch;
  std::atomic<bool> held{false};
  media.renders.onSetRawDataCallback = [&] {
    if (!held.exchange(true)) latch.Arrive();
  };
  int registered = -1;
  std::thread application(
      [&] { registered = core.RegisterRenderVideoFrameObserver("a", "v", std::make_unique<QuietObserver>()); });
  latch.WaitArrived();
  media.log.Take();
  auto unsubscribed = std::async(std::launch::async, [&] { return core.SetRemoteVideoRender("a", "v", nullptr, 3); });
  // Bounds a deadlock, times nothing: the unsubscription takes no time without one.
  const bool returned = unsubscribed.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
  const Calls meanwhile = media.log.Take();
  latch.Release();
  application.join();
  media.renders.onSetRawDataCallback = nullptr;
  EXPECT_TRUE(returned) << "the unsubscription waited for the raw-callback setting";
  EXPECT_EQ(unsubscribed.get(), ERR_OK);
  EXPECT_EQ(registered, ERR_OK);
  for (const std::string& call : meanwhile)
    EXPECT_EQ(call.find("RemoveRender"), std::string::npos) << call << " while the callbacks were being set";
  // The whole unsubscription is made in turn, after the setting.
  EXPECT_EQ(media.log.Take(), (Calls{"StopRecvMedia a 2 v", "Render.RemoveRender 100"}));
  EXPECT_EQ(media.renders.raw.count(100), 0u) << "callbacks stayed set on the removed render";
  EXPECT_EQ(core.GetStreamManager()->FindRemoteVideoStream("a", "v"), nullptr);
}

// A frame's observer registers another observer while the application unsubscribes the
// video and the render's removal waits for that frame (as the framework's does): the
// registration does not wait for the removal, so the frame ends and so does the removal.
TEST_F(StreamThreadsTest, ObserverRegisteredInsideAFrameWhileTheRenderGoes) {
  ASSERT_EQ(core.SetRemoteVideoRender("a", "v", Wnd(5), 3), ERR_OK);
  kiv_test::ThreadLatch latch;
  auto observer = std::make_unique<ThenObserver>(
      &latch, [&] { (void)core.RegisterRenderVideoFrameObserver("a", "v", std::make_unique<QuietObserver>()); });
  ASSERT_EQ(core.RegisterRenderVideoFrameObserver("a", "v", std::move(observer)), ERR_OK);
  const auto raw = media.renders.raw[100];
  ASSERT_NE(raw.frame, nullptr);
  const kiv_common::UniqueHandle doneEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  const HANDLE done = doneEvent.get();
  avcore::VideoFrame frame{};
  frame.width = 320;
  std::thread framework([&] {
    (void)raw.frame(raw.context, &frame);
    SetEvent(done);
  });
  latch.WaitArrived();
  bool frameEnded = false;
  media.renders.onRemoveRender = [&] {
    latch.Release();
    frameEnded = WaitForSingleObject(done, 10000) == WAIT_OBJECT_0;
  };
  EXPECT_EQ(core.SetRemoteVideoRender("a", "v", nullptr, 3), ERR_OK);
  media.renders.onRemoveRender = nullptr;
  latch.Release();
  framework.join();
  EXPECT_TRUE(frameEnded) << "the render's removal waited for a frame whose observer waited for the removal";
  EXPECT_EQ(core.GetStreamManager()->FindRemoteVideoStream("a", "v"), nullptr);
}

// Streams made while another thread is inside the framework's creation of a stream's device
// (a camera's, a custom audio's): the manager's tables are not locked meanwhile, and a second
// request for the same camera or audio id made meanwhile gets the one stream that is kept.
TEST_F(StreamThreadsTest, StreamCreationHoldsNoLockOverTheFramework) {
  auto whileCreating = [&](const std::function<std::shared_ptr<void>()>& create) {
    kiv_test::ThreadLatch latch;
    std::atomic<bool> held{false};
    media.root.onCreateComponent = [&] {
      if (!held.exchange(true)) latch.Arrive();
    };
    std::shared_ptr<void> first, second;
    std::thread application([&] { first = create(); });
    latch.WaitArrived();
    kiv_test::LockWaitProbe other([&] {
      second = create();
      (void)core.GetStreamManager()->FindRemoteAudioStream("a", "appdef_mic");
    });
    const bool waited = other.WaitsForLock();
    latch.Release();
    other.Join();
    application.join();
    media.root.onCreateComponent = nullptr;
    EXPECT_FALSE(waited) << "the stream tables stayed locked while a stream's device was made";
    EXPECT_NE(second, nullptr);
    EXPECT_EQ(first, second) << "two streams for one device";
    return second;
  };
  kiv_core::StreamManager* streams = core.GetStreamManager();
  auto camera = whileCreating([&] { return std::shared_ptr<void>(streams->CreateLocalVideoDeviceStream(0)); });
  EXPECT_EQ(std::shared_ptr<void>(streams->FindLocalVideoDeviceStreamByCamera(0)), camera);
  auto custom = whileCreating([&] { return std::shared_ptr<void>(streams->CreateLocalAudioCustomStream("music")); });
  EXPECT_EQ(std::shared_ptr<void>(streams->FindLocalAudioCustomStream("music")), custom);
}
