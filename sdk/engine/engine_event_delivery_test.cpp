// Runs beside the built Tessarine32.dll, so that Init succeeds and the application handler
// is known.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "base/system/testing/slot_wait_probe.h"
#include "base/system/w_lock.h"
#include "common/win/unique_handle.h"
#include "core/env/core_env.h"
#include "core/env/testing/media_fakes.h"
#include "core/testing/thread_latch.h"
#include "engine/frame_observer_glue.h"
#include "engine/kiv_engine_impl.h"
#include "engine/testing/sdk_window.h"
#include "kiv_exports.h"
#include "testing/temp_dir.h"
#include "testing/ui_thread.h"

using kiv::KivEngineImpl;

namespace {

// Checks that no lock of the SDK is held in any of its calls.
struct Recorder : kiv::IKivEngineEventHandler {
  void OnDeviceChange(int code) override {
    EXPECT_EQ(ZORVANTE::HeldLockCount(), 0);
    deviceChanges.push_back(code);
  }
  void OnEvent(int type, int code) override {
    EXPECT_EQ(ZORVANTE::HeldLockCount(), 0);
    events.push_back({type, code});
  }
  void OnRemoteVideoEvent(const kiv::String& u, const kiv::String& v, int state) override {
    EXPECT_EQ(ZORVANTE::HeldLockCount(), 0);
    videos.push_back(std::string(u.c_str()) + "/" + v.c_str() + "/" + std::to_string(state));
    if (onVideo) onVideo(u.c_str(), v.c_str(), state);
  }
  void OnRemoteAudioEvent(const kiv::String& u, const kiv::String& a, int state) override {
    audios.push_back(std::string(u.c_str()) + "/" + a.c_str() + "/" + std::to_string(state));
  }
  void OnRemoteControlEvent(const kiv::String& u, int op) override {
    controls.push_back(std::string(u.c_str()) + "/" + std::to_string(op));
  }
  void OnGroupUsersRefreshed(const kiv::Vector<kiv::String>& ids) override {
    std::vector<std::string> copy;
    for (const kiv::String& id : ids) copy.push_back(id.c_str());
    groups.push_back(copy);
  }
  void OnRemoteUserEvent(const char* u, int state) override {
    EXPECT_EQ(ZORVANTE::HeldLockCount(), 0);
    users.push_back(std::string(u) + "/" + std::to_string(state));
    if (onUser) onUser();
  }
  std::function<void(const std::string&, const std::string&, int)> onVideo;
  std::function<void()> onUser;
  std::vector<int> deviceChanges;
  std::vector<std::pair<int, int>> events;
  std::vector<std::string> videos, audios, controls, users;
  std::vector<std::vector<std::string>> groups;
};

struct EventDeliveryTest : ::testing::Test {
  void SetUp() override {
    engine = static_cast<KivEngineImpl*>(KivGetEngine());
    kiv::EngineContext context;
    context.handler = &recorder;
    context.appId = "App01";
    int result = -1;
    ui.Run([&] { result = engine->Init(&context); });
    ASSERT_EQ(result, 0);
    ASSERT_EQ(engine->AppHandler(), &recorder);
  }
  void TearDown() override {
    ui.Run([] { KivReleaseEngine(); });
  }
  kiv_test::UiThread ui;
  Recorder recorder;
  KivEngineImpl* engine = nullptr;
};

avcore::FwVector<avcore::FwString> Ids(std::initializer_list<const char*> ids) {
  avcore::FwVector<avcore::FwString> list;
  for (const char* id : ids) list.push_back(avcore::FwString(id));
  return list;
}

struct VideoProbe : kiv::IVideoFrameObserver {
  void OnCaptureVideoFrame(int camera, kiv::VideoFrame* f) override {
    frames.push_back({camera, f->format, f->width, f->height, f->size});
  }
  void OnRenderVideoFrame(const char* u, const char*, kiv::VideoFrame* f) override {
    user = u;
    frames.push_back({-1, f->format, f->width, f->height, f->size});
  }
  std::vector<std::vector<int>> frames;
  std::string user;
};

struct AudioProbe : kiv::IAudioFrameObserver {
  void OnCaptureAudioFrame(kiv::AudioFrame* f) override { seen.push_back(f->sampleRate); }
  void OnPlaybackAudioFrame(kiv::AudioFrame* f) override { seen.push_back(-f->channels); }
  void OnMixedAudioFrame(kiv::AudioFrame* f) override { seen.push_back(f->type * 1000); }
  std::vector<int> seen;
};

// A logged-in connection, a media network and a render manager, all scripted, in place of
// the framework's for the life of the object; the render manager notes the thread of each
// render removal.
struct ScriptedRemoteVideo {
  struct Renders : kiv_media_fake::Renders {
    using kiv_media_fake::Renders::Renders;
    HRESULT AVCORE_CALL RemoveRender(avcore::RenderId id) override {
      removedOn.push_back(GetCurrentThreadId());
      return kiv_media_fake::Renders::RemoveRender(id);
    }
    std::vector<DWORD> removedOn;
  };
  ScriptedRemoteVideo() {
    connection.status = avcore::CPSTATUS_LOGINED;
    Swap();
  }
  ~ScriptedRemoteVideo() { Swap(); }
  ScriptedRemoteVideo(const ScriptedRemoteVideo&) = delete;
  ScriptedRemoteVideo& operator=(const ScriptedRemoteVideo&) = delete;

  kiv_media_fake::CallLog log;
  kiv_media_fake::Connection connection;
  kiv_media_fake::Net net{&log};
  Renders renders{&log, "Render", 100};

 private:
  template <class T>
  static void Exchange(kiv_common::ComRef<T>& held, T*& other) {
    T* taken = held.Detach();
    held.Attach(other);
    other = taken;
  }
  void Swap() {
    kiv_core::CoreEnv* env = kiv_core::CoreEnv::Instance();
    Exchange(env->m_connection, m_connection);
    Exchange(env->m_avnet, m_net);
    Exchange(env->m_video_rendermanager, m_renders);
  }
  avcore::IKivConnection* m_connection = &connection;
  avcore::IAvNet* m_net = &net;
  avcore::IVideoRenderManager* m_renders = &renders;
};

}  // namespace

// The application sees one connection-lost event per login: none after Logout, none for a
// second loss; other event types always pass.
TEST_F(EventDeliveryTest, ConnectionLostOncePerLogin) {
  engine->OnEvent(1, 30);  // no login yet
  engine->Login("token", "user1", true, "");
  engine->OnEvent(1, 30);
  engine->OnEvent(1, 30);
  engine->OnEvent(3, 0);
  engine->Login("token", "user1", true, "");
  engine->Logout();
  engine->OnEvent(1, 30);
  EXPECT_EQ(recorder.events, (std::vector<std::pair<int, int>>{{1, 30}, {3, 0}}));
}

// Remote media and user reports reach the handler unchanged; an unpublished video's render
// is taken away on the window thread, later, and a published or raised one keeps it.
TEST_F(EventDeliveryTest, RemoteReports) {
  ScriptedRemoteVideo scripted;
  ASSERT_EQ(engine->SetRemoteVideoRender("u1", "cam", reinterpret_cast<HWND>(0x20), 3), 0);
  ASSERT_EQ(engine->SetRemoteVideoRender("u1", "other", reinterpret_cast<HWND>(0x21), 3), 0);
  kiv_core::StreamManager* streams = engine->Core()->GetStreamManager();
  // The window thread is held across the check, so that the posted removal cannot run first.
  kiv_test::ThreadLatch windowHeld;
  std::thread holder([&] { ui.Run([&] { windowHeld.Arrive(); }); });
  windowHeld.WaitArrived();
  engine->OnRemoteVideoEvent("u1", "cam", 0);
  engine->OnRemoteVideoEvent("u1", "other", 2);
  engine->OnRemoteVideoEvent("u1", "cam", 1);
  EXPECT_NE(streams->FindRemoteVideoStream("u1", "cam"), nullptr) << "removed on the reporting thread";
  EXPECT_TRUE(scripted.renders.removedOn.empty());
  windowHeld.Release();
  holder.join();
  engine->OnRemoteVideoEvent("u1", "cam", 2);
  engine->OnRemoteAudioEvent("u2", "appdef_mic", 1);
  engine->OnRemoteControl("u3", 2);
  engine->OnRemoteUserJoined("u4");
  engine->OnRemoteUserLeft("u4");
  ASSERT_TRUE(ui.Drain());
  EXPECT_EQ(scripted.renders.removedOn, std::vector<DWORD>{ui.Id()});
  EXPECT_EQ(streams->FindRemoteVideoStream("u1", "cam"), nullptr);
  EXPECT_NE(streams->FindRemoteVideoStream("u1", "other"), nullptr);
  ASSERT_TRUE(ui.Run([&] { (void)engine->SetRemoteVideoRender("u1", "other", nullptr, 3); }));
  EXPECT_EQ(recorder.videos, (std::vector<std::string>{"u1/cam/0", "u1/other/2", "u1/cam/1", "u1/cam/2"}));
  EXPECT_EQ(recorder.audios, std::vector<std::string>{"u2/appdef_mic/1"});
  EXPECT_EQ(recorder.controls, std::vector<std::string>{"u3/2"});
  EXPECT_EQ(recorder.users, (std::vector<std::string>{"u4/0", "u4/1"}));
}

// The group list reaches the application as a vector in the given order; empty as count 0.
TEST_F(EventDeliveryTest, GroupList) {
  engine->OnGroupListSync(Ids({"c", "a", "b"}));
  engine->OnGroupListSync(Ids({}));
  ASSERT_EQ(recorder.groups.size(), 2u);
  EXPECT_EQ(recorder.groups[0], (std::vector<std::string>{"c", "a", "b"}));
  EXPECT_TRUE(recorder.groups[1].empty());
}

// Tasks of the core run on the Init thread; a device-change notice with no real change
// calls no handler.
TEST_F(EventDeliveryTest, WindowThreadWork) {
  DWORD ranOn = 0;
  engine->PostTask([&] { ranOn = GetCurrentThreadId(); });
  HWND window = kiv_test::FindOwnSdkWindow(ui.Id());
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(PostMessageW(window, 0x8B0, 0, 0));
  ASSERT_TRUE(ui.Drain());
  EXPECT_EQ(ranOn, ui.Id());
  EXPECT_TRUE(recorder.deviceChanges.empty());
}

// Frames are converted field by field; a frame after the observer was removed is dropped.
TEST_F(EventDeliveryTest, FrameGlue) {
  VideoProbe video;
  kiv::CoreVideoFrameObserverImpl glue(&video);
  kiv_core::CoreVideoFrame frame;
  frame.format = 3;
  frame.width = 640;
  frame.height = 480;
  frame.length = 460800;
  glue.OnCaptureFrame(2, &frame);
  glue.OnRenderFrame("peer", "v", &frame);
  EXPECT_EQ(video.frames, (std::vector<std::vector<int>>{{2, 3, 640, 480, 460800}, {-1, 3, 640, 480, 460800}}));
  EXPECT_EQ(video.user, "peer");

  AudioProbe audio;
  kiv::CoreAudioFrameObserverImpl audioGlue(engine->Core());
  kiv_core::CoreAudioFrame sound;
  sound.kind = 1;
  sound.channels = 2;
  sound.sampleRate = 48000;
  audioGlue.SetObserver(&audio);
  audioGlue.OnLocalCaptureAudioFrame(&sound);
  audioGlue.OnLocalPlayAudioFrame(&sound);
  audioGlue.OnAllMixedAudioFrame(&sound);
  audioGlue.SetObserver(nullptr);
  audioGlue.OnLocalCaptureAudioFrame(&sound);
  EXPECT_EQ(audio.seen, (std::vector<int>{48000, -2, 1000}));
}

// Replacing the application's audio observer while a frame is in it: the registration
// returns once that frame is done; the other faces' frames pass meanwhile.
TEST_F(EventDeliveryTest, ReplacedAudioObserverFinishesItsFrameFirst) {
  struct Held : AudioProbe {
    void OnCaptureAudioFrame(kiv::AudioFrame*) override {
      inside = true;
      latch.Arrive();
      inside = false;
    }
    kiv_test::ThreadLatch latch;
    std::atomic<bool> inside{false};
  } held;
  AudioProbe next;
  kiv::CoreAudioFrameObserverImpl glue(engine->Core());
  kiv_core::CoreAudioFrame sound;
  sound.sampleRate = 16000;
  sound.channels = 1;
  glue.SetObserver(&held);
  std::thread capture([&] { glue.OnLocalCaptureAudioFrame(&sound); });
  held.latch.WaitArrived();
  glue.OnLocalPlayAudioFrame(&sound);
  EXPECT_EQ(held.seen, std::vector<int>{-1}) << "the playback face waited";

  bool insideWhenReplaced = true;
  kiv_test::SlotWaitProbe replace([&] {
    glue.SetObserver(&next);
    insideWhenReplaced = held.inside.load();
  });
  EXPECT_TRUE(replace.WaitsForCall()) << "replaced under a running frame";
  held.latch.Release();
  capture.join();
  replace.Join();
  EXPECT_FALSE(insideWhenReplaced);
  glue.OnLocalCaptureAudioFrame(&sound);
  EXPECT_EQ(next.seen, std::vector<int>{16000});
  glue.SetObserver(nullptr);
}

// A playback frame whose observer waits for the next capture frame while the observer is
// replaced: the replacement passes the faces in turn, so the capture frame reaches the new
// observer and the playback frame ends.
TEST_F(EventDeliveryTest, ObserverReplacedWhileOneFaceWaitsForAnother) {
  struct WaitsForCapture : AudioProbe {
    void OnPlaybackAudioFrame(kiv::AudioFrame*) override {
      lockFree = ZORVANTE::HeldLockCount() == 0;
      SetEvent(inside.get());
      sawCapture = WaitForSingleObject(captured.get(), 10000) == WAIT_OBJECT_0;
    }
    kiv_common::UniqueHandle inside{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    kiv_common::UniqueHandle captured{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::atomic<bool> sawCapture{false};
    std::atomic<bool> lockFree{false};
  } waiting;
  AudioProbe next;
  kiv::CoreAudioFrameObserverImpl glue(engine->Core());
  kiv_core::CoreAudioFrame sound;
  sound.sampleRate = 32000;
  sound.channels = 1;
  glue.SetObserver(&waiting);
  std::thread play([&] { glue.OnLocalPlayAudioFrame(&sound); });
  ASSERT_EQ(WaitForSingleObject(waiting.inside.get(), INFINITE), WAIT_OBJECT_0);

  kiv_test::SlotWaitProbe replace([&] { glue.SetObserver(&next); });
  EXPECT_TRUE(replace.WaitsForCall()) << "replaced under a running playback frame";
  std::thread capture([&] {
    glue.OnLocalCaptureAudioFrame(&sound);
    SetEvent(waiting.captured.get());
  });
  capture.join();
  play.join();
  replace.Join();
  EXPECT_TRUE(waiting.sawCapture.load()) << "the capture frame waited for the playback face";
  EXPECT_TRUE(waiting.lockFree.load());
  EXPECT_EQ(next.seen, std::vector<int>{32000});
  glue.SetObserver(nullptr);
}

// A video unpublished and published again before the window thread ran the posted
// removals: the application hears "published" once the old stream is gone, and the stream
// it sets up on that report (here inside it) stays; also when it had no stream before.
TEST_F(EventDeliveryTest, QuickRepublishIsReportedAfterTheRemoval) {
  ScriptedRemoteVideo scripted;
  kiv_core::CoreEngine* core = engine->Core();
  kiv_core::StreamManager* streams = core->GetStreamManager();
  recorder.onVideo = [&](const std::string& u, const std::string& v, int state) {
    if (state == 0) (void)engine->SetRemoteVideoRender(u.c_str(), v.c_str(), reinterpret_cast<HWND>(0x30), 3);
  };
  const auto announce = [&](const char* video, bool published) {
    core->OnMediaChanged({kiv_core::MediaRecord("u1", video, "", "", kiv_core::kMediaVideo, published)}, false);
  };
  ASSERT_EQ(engine->SetRemoteVideoRender("u1", "cam", reinterpret_cast<HWND>(0x20), 3), 0);
  for (const char* video : {"cam", "fresh"}) {
    kiv_test::ThreadLatch windowHeld;
    std::thread holder([&] { ui.Run([&] { windowHeld.Arrive(); }); });
    windowHeld.WaitArrived();
    announce(video, false);
    announce(video, true);
    windowHeld.Release();
    holder.join();
    ASSERT_TRUE(ui.Drain());
    ASSERT_TRUE(ui.Drain());
    EXPECT_NE(streams->FindRemoteVideoStream("u1", video), nullptr) << video;
  }
  EXPECT_EQ(recorder.videos, (std::vector<std::string>{"u1/cam/1", "u1/cam/0", "u1/fresh/1", "u1/fresh/0"}));
  EXPECT_EQ(scripted.renders.removedOn, std::vector<DWORD>{ui.Id()}) << "one old stream, removed once";
  ASSERT_TRUE(ui.Run([&] {
    (void)engine->SetRemoteVideoRender("u1", "cam", nullptr, 3);
    (void)engine->SetRemoteVideoRender("u1", "fresh", nullptr, 3);
  }));
}

// Releasing the engine while an event is in the application's handler on another thread:
// the release returns only once that call is over.
TEST_F(EventDeliveryTest, ReleaseWaitsForAnEventInTheHandler) {
  kiv_test::ThreadLatch latch;
  std::atomic<bool> inside{false};
  recorder.onUser = [&] {
    inside = true;
    latch.Arrive();
    inside = false;
  };
  std::thread framework([&] { engine->OnRemoteUserJoined("u9"); });
  latch.WaitArrived();
  bool insideWhenReleased = true;
  kiv_test::SlotWaitProbe release([&] {
    ui.Run([&] {
      kiv_test::SlotWaitProbe::WatchThisThread();
      KivReleaseEngine();
      insideWhenReleased = inside.load();
    });
  });
  EXPECT_TRUE(release.WaitsForCall()) << "released under a running event";
  latch.Release();
  framework.join();
  release.Join();
  EXPECT_FALSE(insideWhenReleased);
  EXPECT_EQ(recorder.users, std::vector<std::string>{"u9/0"});
}
