#include "engine/kiv_engine_impl.h"

#include <gtest/gtest.h>
#include <objbase.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "core/core_engine.h"
#include "core/env/core_env.h"
#include "core/env/testing/media_fakes.h"
#include "core/testing/logged_in_core.h"
#include "core/testing/recording_core_events.h"
#include "engine/testing/null_engine_handler.h"
#include "engine/window/msg_window.h"
#include "kiv_exports.h"
#include "testing/ui_thread.h"

using kiv::KivEngineImpl;

namespace {

struct EngineTest : ::testing::Test {
  void SetUp() override { engine = static_cast<KivEngineImpl*>(KivGetEngine()); }
  void TearDown() override {
    ui.Run([] { KivReleaseEngine(); });
  }
  int InitOnUi(const kiv::EngineContext& context) {
    int result = -1;
    ui.Run([&] { result = engine->Init(&context); });
    return result;
  }
  kiv::EngineContext Context(const char* appId, const char* server = "") {
    kiv::EngineContext context;
    context.handler = &handler;
    context.appId = appId;
    context.serverAddress = server;
    return context;
  }
  kiv_test::UiThread ui;
  kiv_test::NullEngineHandler handler;
  KivEngineImpl* engine = nullptr;
};

// The engine's core on the scripted media components, logged in, never Init'ed.
struct EngineMediaTest : EngineTest {
  void SetUp() override {
    EngineTest::SetUp();
    media.Install(kiv_core::CoreEnv::Instance());
    kiv_media_fake::LogInCore(*engine->Core(), &events, media);
  }
  void TearDown() override {
    kiv_media_fake::ReleaseCore(*engine->Core());
    EngineTest::TearDown();
  }
  // Hands one decoded 20 ms packet to the remote audio's sink; false without a sink.
  bool DeliverPacket() {
    std::vector<uint8_t> packet(7, 0);
    packet[0] = static_cast<uint8_t>(1 | (1 << 6));
    const uint32_t word = 500u | (1u << 27);
    for (int i = 0; i < 4; ++i) packet[2 + i] = static_cast<uint8_t>(word >> (8 * i));
    return media.audio.encodedSink && media.audio.encodedSink->OnAudioData(packet.data(), 7, nullptr) == 7;
  }
  kiv_media_fake::Media media;
  kiv_media_fake::RecordingCoreEvents events;
};

struct RawAudioCounter : kiv::IRemoteRawAudioObserver {
  void OnRemoteRawAudioFrame(const char*, const char*, kiv::AudioFrame*) override { ++frames; }
  int frames = 0;
};

void DeleteDeviceId() { RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\AppDataLow\\Qel", L"DeviceId"); }

}  // namespace

// Init refuses a missing context, an empty app id and a server address without a port
// part; COM is initialised on the calling thread even then.
TEST_F(EngineTest, InitArgumentChecks) {
  EXPECT_EQ(engine->Init(nullptr), 1);
  EXPECT_EQ(InitOnUi(Context("")), 1);
  EXPECT_EQ(InitOnUi(Context("app1", "host")), 1);
  EXPECT_EQ(InitOnUi(Context("app1", "host:")), 1);
  HRESULT again = E_FAIL;
  ui.Run([&] {
    again = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (SUCCEEDED(again)) CoUninitialize();
  });
  EXPECT_EQ(again, S_FALSE);
  // Argument checks come before the window is made.
  EXPECT_EQ(kiv::MsgWindow::Instance()->Window(), nullptr);
}

// Well-formed contexts reach the core, which answers 302 without a framework; the core's
// own app-id check gives 1. The window is made on the Init thread.
TEST_F(EngineTest, InitReachesCore) {
  EXPECT_EQ(InitOnUi(Context("App01")), 302);
  EXPECT_EQ(InitOnUi(Context("App01", "127.0.0.1:8000")), 302);
  EXPECT_EQ(InitOnUi(Context("app_1")), 1);
  kiv::EngineContext noHandler = Context("App01");
  noHandler.handler = nullptr;
  EXPECT_EQ(InitOnUi(noHandler), 1);
  HWND window = kiv::MsgWindow::Instance()->Window();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(GetWindowThreadProcessId(window, nullptr), ui.Id());
  EXPECT_EQ(engine->AppHandler(), nullptr);
}

// A failed Init still registers the engine with the window: core tasks run on that thread.
TEST_F(EngineTest, TasksRunOnInitThread) {
  ASSERT_EQ(InitOnUi(Context("App01")), 302);
  std::atomic<DWORD> ranOn{0};
  engine->PostTask([&] { ranOn = GetCurrentThreadId(); });
  ASSERT_TRUE(ui.Drain());
  EXPECT_EQ(ranOn.load(), ui.Id());
}

// The device id is made on first use, stored per user and reused afterwards, also by a
// new engine.
TEST_F(EngineTest, DeviceIdMadeOnceAndReused) {
  DeleteDeviceId();
  EXPECT_EQ(KivEngineImpl::GetDeviceId(), "");
  EXPECT_EQ(engine->Login("token", "user1", true, ""), 2);
  const std::string first = KivEngineImpl::GetDeviceId();
  ASSERT_EQ(first.size(), 38u);
  EXPECT_EQ(first.front(), '{');
  EXPECT_EQ(first.back(), '}');
  EXPECT_EQ(engine->Login("token", "user1", true, ""), 2);
  EXPECT_EQ(KivEngineImpl::GetDeviceId(), first);
  ui.Run([] { KivReleaseEngine(); });
  engine = static_cast<KivEngineImpl*>(KivGetEngine());
  EXPECT_EQ(engine->Login("token", "user1", true, ""), 2);
  EXPECT_EQ(KivEngineImpl::GetDeviceId(), first);
}

// User ids: at most 128 characters of letters, digits, '_' and '-'; the token must not be
// empty. Group ids use the same characters.
TEST_F(EngineTest, LoginAndGroupIdChecks) {
  const std::string max(128, 'u');
  EXPECT_EQ(engine->Login("t", max.c_str(), true, ""), 2);
  EXPECT_EQ(engine->Login("t", (max + "u").c_str(), true, ""), 1);
  EXPECT_EQ(engine->Login("t", "a@b", true, ""), 1);
  EXPECT_EQ(engine->Login("t", "with space", true, ""), 1);
  EXPECT_EQ(engine->Login("t", "a_b-1", true, ""), 2);
  EXPECT_EQ(engine->Login("t", nullptr, true, nullptr), 1);
  EXPECT_EQ(engine->Login("", "user", true, ""), 1);
  EXPECT_EQ(engine->JoinGroup("group 1"), 1);
  EXPECT_EQ(engine->JoinGroup(""), 1);
  EXPECT_EQ(engine->JoinGroup(nullptr), 1);
  EXPECT_EQ(engine->JoinGroup("g-1_x"), 2);
}

// The facade's own checks: null records, unknown cameras, the screen rectangle.
TEST_F(EngineTest, FacadeChecks) {
  EXPECT_STREQ(engine->GetVersion().c_str(), "2.1.0.0");
  EXPECT_EQ(engine->SetVideoProfile("v1", nullptr), 1);
  EXPECT_EQ(engine->GetVideoStats("u", "v", nullptr), 1);
  kiv::VideoStats stats{1, 2, 3, 4};
  EXPECT_EQ(engine->GetVideoStats("u", "v", &stats), 2);
  EXPECT_EQ(stats.width + stats.height + stats.frameRate + stats.bitrate, 0);
  EXPECT_EQ(engine->AddVideoPreview(7, nullptr, 3), 1);
  EXPECT_EQ(engine->StartPublishVideo("v1", 7), 2);  // no camera check here
  EXPECT_EQ(engine->RegisterRemoteRawAudioObserver("u", "a", nullptr), 0);
  const int cx = GetSystemMetrics(SM_CXVIRTUALSCREEN);
  const int cy = GetSystemMetrics(SM_CYVIRTUALSCREEN);
  EXPECT_EQ(engine->StartPublishScreenShare(0, 0, cx + 1, cy, 0), 1);
  EXPECT_EQ(engine->StartPublishScreenShare(0, 0, cx, cy + 1, 0), 1);
  EXPECT_EQ(engine->StartPublishScreenShare(-50, -50, cx, cy, 0), 2);
  EXPECT_EQ(engine->RemoteControlOperation("u", 4), 0);
  EXPECT_EQ(engine->RemoteControlOperation("u", 5), 1);
  EXPECT_EQ(engine->GetWhiteBoard()->GetWindow("b"), nullptr);
}

// Server addresses split at every ':'; a trailing ':' adds no empty part.
TEST(ServerAddressTest, Split) {
  using V = std::vector<std::string>;
  EXPECT_EQ(KivEngineImpl::SplitServerAddress("host:80"), (V{"host", "80"}));
  EXPECT_EQ(KivEngineImpl::SplitServerAddress("host:"), (V{"host"}));
  EXPECT_EQ(KivEngineImpl::SplitServerAddress(":80"), (V{"", "80"}));
  EXPECT_EQ(KivEngineImpl::SplitServerAddress("a:b:c"), (V{"a", "b", "c"}));
  EXPECT_EQ(KivEngineImpl::SplitServerAddress(""), V{});
}

// Taking a user's raw-audio observer away leaves the user audible, and the observer is
// called no more, also where an unsubscription would do nothing (not connected).
TEST_F(EngineMediaTest, RemovedRawAudioObserverKeepsPlayback) {
  RawAudioCounter app;
  ASSERT_EQ(engine->MuteRemoteAudio("a", "appdef_mic", false), 0);
  EXPECT_EQ(engine->RegisterRemoteRawAudioObserver("a", "appdef_mic", &app), 0);
  ASSERT_TRUE(DeliverPacket());
  EXPECT_EQ(app.frames, 1);
  media.log.Take();
  EXPECT_EQ(engine->RegisterRemoteRawAudioObserver("a", "appdef_mic", nullptr), 0);
  const std::vector<std::string> calls = media.log.Take();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "StopRecvMedia a 1 appdef_mic"), 0) << "the user was muted";
  EXPECT_NE(engine->Core()->GetStreamManager()->FindRemoteAudioStream("a", "appdef_mic"), nullptr);
  EXPECT_FALSE(DeliverPacket()) << "the packet sink outlived the last observer";
  EXPECT_EQ(app.frames, 1);

  EXPECT_EQ(engine->RegisterRemoteRawAudioObserver("a", "appdef_mic", &app), 0);
  media.connection.status = avcore::CPSTATUS_UNCONNECT;
  EXPECT_EQ(engine->RegisterRemoteRawAudioObserver("a", "appdef_mic", nullptr), 0);
  EXPECT_FALSE(DeliverPacket()) << "the packet sink outlived the last observer";
  EXPECT_EQ(app.frames, 1) << "the observer was kept after it was taken away";
  media.connection.status = avcore::CPSTATUS_LOGINED;
}
