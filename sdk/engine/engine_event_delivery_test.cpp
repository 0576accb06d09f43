// Runs beside the built Tessarine32.dll, so that Init succeeds and the application handler
// is known.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/frame_observer_glue.h"
#include "engine/kiv_engine_impl.h"
#include "engine/testing/sdk_window.h"
#include "kiv_exports.h"
#include "testing/temp_dir.h"
#include "testing/ui_thread.h"

using kiv::KivEngineImpl;

namespace {

struct Recorder : kiv::IKivEngineEventHandler {
  void OnDeviceChange(int code) override { deviceChanges.push_back(code); }
  void OnEvent(int type, int code) override { events.push_back({type, code}); }
  void OnRemoteVideoEvent(const kiv::String& u, const kiv::String& v, int state) override {
    videos.push_back(std::string(u.c_str()) + "/" + v.c_str() + "/" + std::to_string(state));
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
    users.push_back(std::string(u) + "/" + std::to_string(state));
  }
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
// is taken away on the window thread.
TEST_F(EventDeliveryTest, RemoteReports) {
  engine->OnRemoteVideoEvent("u1", "cam", 0);
  engine->OnRemoteVideoEvent("u1", "cam", 1);
  engine->OnRemoteVideoEvent("u1", "cam", 2);
  engine->OnRemoteAudioEvent("u2", "appdef_mic", 1);
  engine->OnRemoteControl("u3", 2);
  engine->OnRemoteUserJoined("u4");
  engine->OnRemoteUserLeft("u4");
  ASSERT_TRUE(ui.Drain());
  EXPECT_EQ(recorder.videos, (std::vector<std::string>{"u1/cam/0", "u1/cam/1", "u1/cam/2"}));
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
