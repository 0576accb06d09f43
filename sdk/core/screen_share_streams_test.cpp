// The local and remote screen-share streams through the core engine, on scripted
// framework components: host configurations, announcements and control answers on the
// sharing side; viewer configurations, control requests and restarts on the viewing side.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/control/kiv_cp_client.h"
#include "core/core_engine.h"
#include "core/devices/device_manager.h"
#include "core/engine_event_handler.h"
#include "core/env/core_env.h"
#include "core/env/testing/media_fakes.h"
#include "core/streams/local_screen_share_stream.h"
#include "core/streams/remote_screen_share_stream.h"
#include "core/testing/lock_wait_probe.h"
#include "core/testing/logged_in_core.h"
#include "core/testing/recording_core_events.h"
#include "core/testing/thread_latch.h"

using kiv_core::CoreEngine;
using kiv_core::CoreEnv;
using Calls = std::vector<std::string>;

namespace {

using Events = kiv_media_fake::RecordingCoreEvents;

std::string Control(const avcore::VncHostConfig& c) {
  return std::to_string(c.allow_mouse) + std::to_string(c.allow_keyboard) + std::to_string(c.allow_wheel) +
         std::to_string(c.allow_clipboard);
}

struct Host : kiv_fake::Counted<avcore::IVncHost> {
  kiv_media_fake::CallLog* log;
  HRESULT startResult = S_OK, initResult = S_OK;
  explicit Host(kiv_media_fake::CallLog* l) : log(l) {}
  HRESULT AVCORE_CALL Initialize(int32_t, const avcore::EventRecord*, avcore::IAvNet*, avcore::IAudioDevice*) override {
    log->Add("Initialize");
    return initResult;
  }
  HRESULT AVCORE_CALL StartHost(const avcore::VncHostConfig* c) override {
    log->Add("StartHost " + std::to_string(c->capture_mode) + " " + std::to_string(c->right) + " " + Control(*c));
    return startResult;
  }
  HRESULT AVCORE_CALL SetConfig(const avcore::VncHostConfig* c) override {
    log->Add("SetConfig " + std::to_string(c->right) + " bias " + std::to_string(c->bias) + " " + Control(*c));
    return S_OK;
  }
  HRESULT AVCORE_CALL Stop() override {
    log->Add("Stop");
    return S_OK;
  }
};

struct Viewers : kiv_fake::Counted<avcore::IVncRenderManager> {
  kiv_media_fake::CallLog* log;
  avcore::EventRecord events{};
  avcore::RenderId next = 7;
  explicit Viewers(kiv_media_fake::CallLog* l) : log(l) {}
  static std::string View(const avcore::VncViewConfig* c) {
    return std::to_string(reinterpret_cast<uintptr_t>(c->control_window)) + " " + std::to_string(c->send_mouse) +
           std::to_string(c->send_keyboard) + " " + std::to_string(reinterpret_cast<uintptr_t>(c->view_window)) + " " +
           std::to_string(c->scale_to_window);
  }
  HRESULT AVCORE_CALL AddRender2(HWND, const avcore::EventRecord* e, avcore::RenderId* id,
                                 const avcore::VncViewConfig* c) override {
    events = *e;
    *id = next++;
    log->Add("AddRender2 " + std::to_string(*id) + " " + View(c));
    return S_OK;
  }
  HRESULT AVCORE_CALL RemoveRender(avcore::RenderId id) override {
    kiv_test::ExpectNoLockHeld("IVncRenderManager::RemoveRender");
    log->Add("RemoveRender " + std::to_string(id));
    return S_OK;
  }
  HRESULT AVCORE_CALL SetViewConfig(avcore::RenderId id, const avcore::VncViewConfig* c) override {
    log->Add("SetViewConfig " + std::to_string(id) + " " + View(c));
    if (onSetViewConfig) onSetViewConfig();
    return S_OK;
  }
  // Run inside SetViewConfig, after it was logged.
  std::function<void()> onSetViewConfig;
  HRESULT AVCORE_CALL GetRenderStats(avcore::RenderId, avcore::RenderStats*) override { return S_OK; }
  void* rawContext = nullptr;
  avcore::RenderFrameCallback rawFrame = nullptr;
  HRESULT AVCORE_CALL SetRawDataCallback(avcore::RenderId, void* context, avcore::RenderFrameCallback frame,
                                         avcore::RenderValueCallback) override {
    kiv_test::ExpectNoLockHeld("IVncRenderManager::SetRawDataCallback");
    rawContext = context;
    rawFrame = frame;
    return S_OK;
  }
};

struct ScreenNet : kiv_media_fake::Net {
  using Net::Net;
  HRESULT addScreen = S_OK;
  HRESULT AVCORE_CALL AddScreenSource(int32_t type, const char* id, avcore::IVncHost*, int32_t) override {
    log->Add("AddScreenSource " + std::to_string(type) + " " + kiv_media_fake::S(id));
    return addScreen;
  }
  HRESULT AVCORE_CALL StartRecvMedia2(const char* user, int32_t type, const char* id, avcore::RenderId render,
                                      int32_t) override {
    log->Add("StartRecvMedia2 " + kiv_media_fake::S(user) + " " + std::to_string(type) + " " + kiv_media_fake::S(id) +
             " " + std::to_string(render));
    return S_OK;
  }
};

struct ScreenRoot : kiv_media_fake::Root {
  Host* host = nullptr;
  HRESULT AVCORE_CALL CreateComponent(REFCLSID cls, REFIID iid, IUnknown* outer, void** out) override {
    if (cls == avcore::CLSID_VncHost && host) {
      host->AddRef();
      *out = static_cast<avcore::IVncHost*>(host);
      return S_OK;
    }
    return kiv_media_fake::Root::CreateComponent(cls, iid, outer, out);
  }
};

HWND Wnd(uintptr_t n) { return reinterpret_cast<HWND>(n); }

struct ScreenShareStreamsTest : ::testing::Test {
  ScreenShareStreamsTest() {
    CoreEnv* env = CoreEnv::Instance();
    media.Install(env);
    root.host = &host;
    root.camera = media.root.camera;
    root.sink = media.root.sink;
    root.transcoder = media.root.transcoder;
    root.processor = media.root.processor;
    root.sysSound = media.root.sysSound;
    root.aec = media.root.aec;
    root.secondAudio = media.root.secondAudio;
    env->m_basecore.Attach(&root);
    env->m_avnet.Attach(&net);
    env->m_vnc_rendermanager.Attach(&viewers);
    kiv_media_fake::LogInCore(core, &events, media);
  }
  ~ScreenShareStreamsTest() override { kiv_media_fake::ReleaseCore(core); }
  bool Deliver(const char* json) {
    rapidjson::Document body;
    body.Parse(json);
    return core.GetCpClient()->ProcessCpBusinessCmd("GS", 14108, body);
  }
  Calls Sent() {
    Calls out;
    out.swap(media.connection.sent);
    return out;
  }
  kiv_media_fake::Media media;
  Host host{&media.log};
  Viewers viewers{&media.log};
  ScreenNet net{&media.log};
  ScreenRoot root;
  Events events;
  CoreEngine core;
};

}  // namespace

// Whole screen (mode 0) or a rectangle (mode 3), control words off; an unchanged start is
// a no-op, a changed bias only reconfigures; a bad rectangle is 1; stop withdraws it.
TEST_F(ScreenShareStreamsTest, PublishAndStop) {
  EXPECT_EQ(core.StartPublishScreenShare(10, 10, 10, 20, 0, 0), 1);
  ASSERT_EQ(core.StartPublishScreenShare(0, 0, 0, 0, 0, 0), 0);
  EXPECT_EQ(media.log.Take(), (Calls{"Initialize", "StartHost 0 0 0000", "AddScreenSource 0 0"}));
  ASSERT_EQ(Sent().size(), 1u) << "the screen was announced";
  EXPECT_EQ(core.StartPublishScreenShare(0, 0, 0, 0, 0, 0), 0);
  EXPECT_EQ(media.log.Take(), Calls{});
  EXPECT_EQ(core.StartPublishScreenShare(0, 0, 0, 0, 1, 0), 0);
  EXPECT_EQ(media.log.Take(), Calls{"SetConfig 0 bias 1 0000"});
  EXPECT_EQ(Sent().size(), 0u) << "no second announcement";
  EXPECT_EQ(core.StopPublishScreenShare(), 0);
  EXPECT_EQ(media.log.Take(), (Calls{"Stop", "RemoveSource 0 0"}));
  EXPECT_EQ(Sent().size(), 1u);
  EXPECT_EQ(host.refs, 0);
  EXPECT_EQ(core.StopPublishScreenShare(), 302) << "no host any more";

  const avcore::VncHostConfig rect = kiv_core::LocalScreenShareStream::BuildHostConfig(5, 6, 700, 500, 1, true, 0);
  EXPECT_EQ(rect.capture_mode, 3);
  EXPECT_EQ(rect.left, 5);
  EXPECT_EQ(rect.bottom, 500);
  EXPECT_EQ(Control(rect), "1111");
  EXPECT_EQ(rect.bias, 1);
  EXPECT_EQ(rect.show_cursor, 1);
}

// A failed publication leaves the host as it is and nothing published.
TEST_F(ScreenShareStreamsTest, FailedPublication) {
  net.addScreen = E_FAIL;
  EXPECT_EQ(core.StartPublishScreenShare(0, 0, 640, 480, 0, 0), 302);
  EXPECT_EQ(media.log.Take(), (Calls{"Initialize", "StartHost 3 640 0000", "AddScreenSource 0 0"}));
  EXPECT_EQ(Sent().size(), 0u);
  net.addScreen = S_OK;
  EXPECT_EQ(core.StartPublishScreenShare(0, 0, 640, 480, 0, 0), 0) << "the kept host starts again";
  EXPECT_EQ(media.log.Take(), (Calls{"StartHost 3 640 0000", "AddScreenSource 0 0"}));
}

// Accepting gives control to one user; another's accept is 302 while it lasts; the
// controller's cancel ends it and a cancel from anyone else changes nothing.
TEST_F(ScreenShareStreamsTest, GrantAndCancelControl) {
  EXPECT_EQ(core.ScreenShareRemoteControl("bob", 2), 302) << "not sharing";
  ASSERT_EQ(core.StartPublishScreenShare(0, 0, 0, 0, 0, 0), 0);
  media.log.Take();
  Sent();
  ASSERT_EQ(core.ScreenShareRemoteControl("bob", 2), 0);
  EXPECT_EQ(media.log.Take(), Calls{"SetConfig 0 bias 0 1111"});
  const Calls sent = Sent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_NE(sent[0].find("\"operation\":2"), std::string::npos) << sent[0];
  EXPECT_NE(sent[0].find("\"dst_user_id\":\"bob\""), std::string::npos) << sent[0];
  EXPECT_EQ(core.ScreenShareRemoteControl("carol", 2), 302);
  EXPECT_EQ(core.ScreenShareRemoteControl("bob", 2), 0);
  EXPECT_EQ(media.log.Take(), Calls{});

  ASSERT_TRUE(Deliver(R"({"id":14108,"operation":1,"src_user_id":"carol","dst_user_id":"me"})"));
  EXPECT_EQ(core.GetStreamManager()->GetLocalScreenShareStream()->Controller(), "bob");
  ASSERT_TRUE(Deliver(R"({"id":14108,"operation":1,"src_user_id":"bob","dst_user_id":"me"})"));
  EXPECT_EQ(media.log.Take(), Calls{"SetConfig 0 bias 0 0000"});
  EXPECT_EQ(core.GetStreamManager()->GetLocalScreenShareStream()->Controller(), "");
  EXPECT_EQ(core.ScreenShareRemoteControl("carol", 3), 0) << "a refusal";
  EXPECT_EQ(events.lines, (Calls{"control carol 1", "control bob 1"}));
}

// The viewer: a window starts it (control off), the sharer's accept turns input on and a
// refusal or a cancel off; bad data restarts it through a posted task.
TEST_F(ScreenShareStreamsTest, ViewerControlAndRestart) {
  EXPECT_EQ(core.ScreenShareRemoteControl("alice", 0), 302) << "no viewer yet";
  ASSERT_EQ(core.SetRemoteVideoRender("alice", "reserved_videoid_screenshare", Wnd(0x50), 3), 0);
  EXPECT_EQ(media.log.Take(), (Calls{"AddRender2 7 80 00 0 1", "StartRecvMedia2 alice 0 0 7"}));
  ASSERT_EQ(core.ScreenShareRemoteControl("alice", 0), 0);
  const Calls request = Sent();
  ASSERT_EQ(request.size(), 1u);
  EXPECT_NE(request[0].find("\"operation\":0"), std::string::npos);
  ASSERT_TRUE(Deliver(R"({"id":14108,"operation":2,"src_user_id":"alice","dst_user_id":"me"})"));
  EXPECT_EQ(media.log.Take(), Calls{"SetViewConfig 7 80 11 0 1"});
  ASSERT_TRUE(Deliver(R"({"id":14108,"operation":3,"src_user_id":"alice","dst_user_id":"me"})"));
  EXPECT_EQ(media.log.Take(), Calls{"SetViewConfig 7 80 00 0 1"});
  ASSERT_EQ(core.ScreenShareRemoteControl("alice", 1), 0);
  EXPECT_EQ(media.log.Take(), Calls{"SetViewConfig 7 80 00 0 1"});

  // The first picture gives state 2; bad data posts one restart, which runs later.
  viewers.events.proc(7, 0, 0, avcore::kViewerEventConnected, viewers.events.context);
  viewers.events.proc(7, 0, 0, avcore::kViewerEventBadData, viewers.events.context);
  EXPECT_EQ(media.log.Take(), Calls{});
  ASSERT_EQ(events.tasks.size(), 1u);
  events.tasks[0]();
  EXPECT_EQ(media.log.Take(), (Calls{"StopRecvMedia alice 0 0", "RemoveRender 7", "AddRender2 8 80 00 0 1",
                                     "StartRecvMedia2 alice 0 0 8"}));

  // Without the remote-control flag the window is shown only.
  ASSERT_EQ(core.ScreenShareRemoteControl("", 4), 0);
  ASSERT_EQ(core.SetRemoteVideoRender("alice", "reserved_videoid_screenshare", Wnd(0x60), 3), 0);
  EXPECT_EQ(media.log.Take(), Calls{"SetViewConfig 8 0 00 96 1"});
  // Taking the window away stops it; a restart posted for it afterwards does nothing.
  viewers.events.proc(8, 0, 0, avcore::kViewerEventBadData, viewers.events.context);
  ASSERT_EQ(core.SetRemoteVideoRender("alice", "reserved_videoid_screenshare", nullptr, 3), 0);
  Calls stopped = media.log.Take();
  ASSERT_GE(stopped.size(), 2u);
  EXPECT_EQ(Calls(stopped.begin(), stopped.begin() + 2), (Calls{"StopRecvMedia alice 0 0", "RemoveRender 8"}));
  for (size_t i = 2; i < stopped.size(); ++i) EXPECT_EQ(stopped[i], "StopRecvMedia alice 0 0");
  EXPECT_EQ(core.GetStreamManager()->FindRemoteVideoStream("alice", "reserved_videoid_screenshare"), nullptr);
  for (size_t i = 1; i < events.tasks.size(); ++i) events.tasks[i]();
  EXPECT_EQ(media.log.Take(), Calls{}) << "the deleted viewer's restart ran";
  EXPECT_NE(std::find(events.lines.begin(), events.lines.end(), "video alice reserved_videoid_screenshare 2"),
            events.lines.end());
}

// A host whose set-up failed is given back; the next start makes and sets up a new one.
TEST_F(ScreenShareStreamsTest, HostThatFailedSetUpIsNotKept) {
  host.initResult = E_FAIL;
  EXPECT_EQ(core.StartPublishScreenShare(0, 0, 0, 0, 0, 0), 302);
  EXPECT_EQ(media.log.Take(), Calls{"Initialize"});
  EXPECT_EQ(host.refs, 0);
  host.initResult = S_OK;
  EXPECT_EQ(core.StartPublishScreenShare(0, 0, 0, 0, 0, 0), 0);
  EXPECT_EQ(media.log.Take(), (Calls{"Initialize", "StartHost 0 0 0000", "AddScreenSource 0 0"}));
}

// Leaving the group withdraws the shared screen before the microphone.
TEST_F(ScreenShareStreamsTest, ScreenWithdrawnBeforeMicrophone) {
  ASSERT_EQ(core.StartPublishAudio("appdef_mic"), 0);
  ASSERT_EQ(core.StartPublishScreenShare(0, 0, 0, 0, 0, 0), 0);
  media.log.Take();
  core.GetStreamManager()->DestroyStreams();
  const Calls calls = media.log.Take();
  ASSERT_GE(calls.size(), 3u);
  EXPECT_EQ(Calls(calls.begin(), calls.begin() + 3), (Calls{"Stop", "RemoveSource 0 0", "RemoveSource 1 appdef_mic"}));
}

namespace {

// Holds the viewer's frame thread inside its first frame; says whether it was deleted with
// a frame inside.
struct HeldObserver : kiv_core::ICoreVideoFrameObserver {
  HeldObserver(kiv_test::ThreadLatch* latch, std::atomic<int>* state) : latch(latch), state(state) {}
  ~HeldObserver() override { *state = *state == kInside ? kDeletedInside : kDeleted; }
  void OnCaptureFrame(int, kiv_core::CoreVideoFrame*) override {}
  void OnRenderFrame(const char*, const char*, kiv_core::CoreVideoFrame*) override {
    if (latch) {
      *state = kInside;
      latch->Arrive();
    }
    *state = kIdle;
  }
  static constexpr int kIdle = 0, kInside = 1, kDeleted = 2, kDeletedInside = 3;
  kiv_test::ThreadLatch* latch;
  std::atomic<int>* state;
};

}  // namespace

// Replacing the viewer's raw observer while a frame is in it: the old observer goes once
// the frame is done with it.
TEST_F(ScreenShareStreamsTest, ReplacedObserverOutlivesFrameInProgress) {
  ASSERT_EQ(core.SetRemoteVideoRender("alice", "reserved_videoid_screenshare", Wnd(0x50), 3), 0);
  kiv_test::ThreadLatch latch;
  std::atomic<int> first{HeldObserver::kIdle}, second{HeldObserver::kIdle};
  ASSERT_EQ(core.RegisterRenderVideoFrameObserver("alice", "reserved_videoid_screenshare",
                                                  std::make_unique<HeldObserver>(&latch, &first)),
            0);
  ASSERT_NE(viewers.rawFrame, nullptr);
  avcore::VideoFrame frame{};
  std::thread framework([&] { (void)viewers.rawFrame(viewers.rawContext, &frame); });
  latch.WaitArrived();

  kiv_test::LockWaitProbe replace([&] {
    (void)core.RegisterRenderVideoFrameObserver("alice", "reserved_videoid_screenshare",
                                                std::make_unique<HeldObserver>(nullptr, &second));
  });
  EXPECT_TRUE(replace.WaitsForLock());
  EXPECT_EQ(first.load(), HeldObserver::kInside) << "the observer was deleted under a frame";
  latch.Release();
  framework.join();
  replace.Join();
  EXPECT_EQ(first.load(), HeldObserver::kDeleted);
  (void)viewers.rawFrame(viewers.rawContext, &frame);
  EXPECT_EQ(second.load(), HeldObserver::kIdle);
  ASSERT_EQ(core.SetRemoteVideoRender("alice", "reserved_videoid_screenshare", nullptr, 3), 0);
  EXPECT_EQ(second.load(), HeldObserver::kDeleted);
}

// A posted restart running while the application takes the viewer's window away: the
// window's removal does not wait for the restart's framework calls; the thread at work
// finishes the restart and then stops the viewer, which goes after.
TEST_F(ScreenShareStreamsTest, ViewerDestroyedAfterRestartInProgress) {
  ASSERT_EQ(core.SetRemoteVideoRender("alice", "reserved_videoid_screenshare", Wnd(0x50), 3), 0);
  viewers.events.proc(7, 0, 0, avcore::kViewerEventBadData, viewers.events.context);
  ASSERT_EQ(events.tasks.size(), 1u);
  media.log.Take();
  kiv_test::ThreadLatch latch;
  std::atomic<bool> held{false};
  net.onStopRecv = [&] {
    if (!held.exchange(true)) latch.Arrive();
  };
  std::thread window([&] { events.tasks[0](); });
  latch.WaitArrived();

  kiv_test::LockWaitProbe close(
      [&] { (void)core.SetRemoteVideoRender("alice", "reserved_videoid_screenshare", nullptr, 3); });
  EXPECT_FALSE(close.WaitsForLock()) << "the removal waited for another thread's framework call";
  latch.Release();
  window.join();
  close.Join();
  const Calls calls = media.log.Take();
  ASSERT_GE(calls.size(), 6u);
  EXPECT_EQ(Calls(calls.begin(), calls.begin() + 6),
            (Calls{"StopRecvMedia alice 0 0", "RemoveRender 7", "AddRender2 8 80 00 0 1", "StartRecvMedia2 alice 0 0 8",
                   "StopRecvMedia alice 0 0", "RemoveRender 8"}));
  for (size_t i = 6; i < calls.size(); ++i) EXPECT_EQ(calls[i], "StopRecvMedia alice 0 0");
  EXPECT_EQ(core.GetStreamManager()->FindRemoteVideoStream("alice", "reserved_videoid_screenshare"), nullptr);
}

// The sharer's answer to a control request arriving while the application takes the
// viewer's window away: the removal does not wait; the answer is applied first and the
// viewer stopped after it.
TEST_F(ScreenShareStreamsTest, ViewerKeptWhileControlAnswerIsApplied) {
  ASSERT_EQ(core.SetRemoteVideoRender("alice", "reserved_videoid_screenshare", Wnd(0x50), 3), 0);
  media.log.Take();
  kiv_test::ThreadLatch latch;
  std::atomic<bool> held{false};
  viewers.onSetViewConfig = [&] {
    if (!held.exchange(true)) latch.Arrive();
  };
  std::thread framework(
      [&] { EXPECT_TRUE(Deliver(R"({"id":14108,"operation":2,"src_user_id":"alice","dst_user_id":"me"})")); });
  latch.WaitArrived();

  kiv_test::LockWaitProbe close(
      [&] { (void)core.SetRemoteVideoRender("alice", "reserved_videoid_screenshare", nullptr, 3); });
  EXPECT_FALSE(close.WaitsForLock()) << "the removal waited for another thread's framework call";
  latch.Release();
  framework.join();
  close.Join();
  const Calls calls = media.log.Take();
  ASSERT_GE(calls.size(), 3u);
  EXPECT_EQ(Calls(calls.begin(), calls.begin() + 3),
            (Calls{"SetViewConfig 7 80 11 0 1", "StopRecvMedia alice 0 0", "RemoveRender 7"}));
  for (size_t i = 3; i < calls.size(); ++i) EXPECT_EQ(calls[i], "StopRecvMedia alice 0 0");
  EXPECT_EQ(events.lines, Calls{"control alice 2"});
  EXPECT_EQ(core.GetStreamManager()->FindRemoteVideoStream("alice", "reserved_videoid_screenshare"), nullptr);
}

// Viewer events that come after the viewer went (the framework's watcher reports outside any
// lock, and its removal does not wait for a report): they find no viewer and report nothing.
TEST_F(ScreenShareStreamsTest, ViewerEventsAfterTheViewerWent) {
  ASSERT_EQ(core.SetRemoteVideoRender("alice", "reserved_videoid_screenshare", Wnd(0x50), 3), 0);
  const avcore::EventRecord ev = viewers.events;
  ASSERT_NE(ev.proc, nullptr);
  ASSERT_EQ(core.SetRemoteVideoRender("alice", "reserved_videoid_screenshare", nullptr, 3), 0);
  ASSERT_EQ(core.GetStreamManager()->FindRemoteVideoStream("alice", "reserved_videoid_screenshare"), nullptr);
  events.lines.clear();
  events.tasks.clear();
  (void)ev.proc(7, 0, 0, avcore::kViewerEventConnected, ev.context);
  (void)ev.proc(7, 0, 0, avcore::kViewerEventBadData, ev.context);
  EXPECT_EQ(events.lines, Calls{}) << "an event read the viewer after it went";
  EXPECT_TRUE(events.tasks.empty());
}
