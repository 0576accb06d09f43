// The root object, its services and every component it creates.
#include <vector>

#include "dll_fixture.h"

namespace tessarine_test {
namespace {

using ComponentsTest = FrameworkTest;

struct ClassIds {
  const char* name;
  const GUID* class_id;
  const GUID* interface_id;
};

const ClassIds kClasses[] = {
    {"IScreenRecorder", &avcore::CLSID_ScreenRecorder, &avcore::IID_IScreenRecorder},
    {"IAudioDevice", &avcore::CLSID_AudioDevice, &avcore::IID_IAudioDevice},
    {"IVideoRenderManager", &avcore::CLSID_VideoRenderManager, &avcore::IID_IVideoRenderManager},
    {"IKivConnection", &avcore::CLSID_KivConnection, &avcore::IID_IKivConnection},
    {"IAvNet", &avcore::CLSID_AvNet, &avcore::IID_IAvNet},
    {"IVncRenderManager", &avcore::CLSID_VncRenderManager, &avcore::IID_IVncRenderManager},
    {"IAVEnv", &avcore::CLSID_AVEnv, &avcore::IID_IAVEnv},
    {"IVideoDevice", &avcore::CLSID_VideoDevice, &avcore::IID_IVideoDevice},
    {"IVideoRecordSink", &avcore::CLSID_VideoRecordSink, &avcore::IID_IVideoRecordSink},
    {"ISysSoundSource", &avcore::CLSID_SysSoundSource, &avcore::IID_ISysSoundSource},
    {"IAecProcessor", &avcore::CLSID_AecProcessor, &avcore::IID_IAecProcessor},
    {"IAudioProcessor", &avcore::CLSID_AudioProcessor, &avcore::IID_IAudioProcessor},
    {"IAudioTranscoder", &avcore::CLSID_AudioTranscoder, &avcore::IID_IAudioTranscoder},
    {"IVncHost", &avcore::CLSID_VncHost, &avcore::IID_IVncHost},
};

// The three services come from the root's QueryInterface, the same object every time.
TEST_F(ComponentsTest, RootAnswersItsServices) {
  ASSERT_NO_FATAL_FAILURE(StartWithRoot(L""));
  for (const GUID* iid : {&avcore::IID_ILogCenter, &avcore::IID_IConfigCenter, &avcore::IID_ISessionManager}) {
    Held<IUnknown> a, b, unknown;
    ASSERT_EQ(root_->QueryInterface(*iid, a.out()), S_OK);
    ASSERT_EQ(root_->QueryInterface(*iid, b.out()), S_OK);
    EXPECT_EQ(a.p, b.p);
    ASSERT_EQ(a->QueryInterface(IID_IUnknown, unknown.out()), S_OK);
  }
  Held<IUnknown> none;
  EXPECT_EQ(root_->QueryInterface(avcore::IID_IAvNet, none.out()), E_NOINTERFACE);
  EXPECT_EQ(none.p, nullptr);
  EXPECT_EQ(root_->QueryInterface(avcore::IID_ILogCenter, nullptr), E_POINTER);
}

// Every class is created by its interface id or IUnknown's, each a new object that goes
// away with its last reference.
TEST_F(ComponentsTest, EveryClassIsCreatable) {
  ASSERT_NO_FATAL_FAILURE(StartWithRoot(L""));
  const long base = LiveObjects();
  for (const ClassIds& c : kClasses) {
    SCOPED_TRACE(c.name);
    Held<IUnknown> first, second, as_unknown, again;
    ASSERT_EQ(root_->CreateComponent(*c.class_id, *c.interface_id, nullptr, first.out()), S_OK);
    ASSERT_EQ(root_->CreateComponent(*c.class_id, IID_IUnknown, nullptr, second.out()), S_OK);
    EXPECT_NE(first.p, second.p);
    ASSERT_EQ(first->QueryInterface(*c.interface_id, again.out()), S_OK);
    EXPECT_EQ(again.p, first.p);
    first.reset();
    second.reset();
    again.reset();
    EXPECT_EQ(LiveObjects(), base);
  }
}

// Wrong interface, aggregation, unknown class and a null out pointer are refused cleanly.
TEST_F(ComponentsTest, CreateComponentRefusesBadRequests) {
  ASSERT_NO_FATAL_FAILURE(StartWithRoot(L""));
  Held<IUnknown> out;
  EXPECT_EQ(root_->CreateComponent(avcore::CLSID_AvNet, avcore::IID_IAudioDevice, nullptr, out.out()), E_NOINTERFACE);
  EXPECT_EQ(root_->CreateComponent(avcore::CLSID_AvNet, avcore::IID_IAvNet, root_, out.out()), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(root_->CreateComponent(avcore::IID_IAvNet, avcore::IID_IAvNet, nullptr, out.out()), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(root_->CreateComponent(avcore::CLSID_AvNet, avcore::IID_IAvNet, nullptr, nullptr), E_POINTER);
  EXPECT_EQ(out.p, nullptr);
}

// The device manager from an IAVEnv stays usable after the environment is released.
TEST_F(ComponentsTest, DeviceManagerOutlivesItsEnvironment) {
  ASSERT_NO_FATAL_FAILURE(StartWithRoot(L""));
  Held<avcore::IAVEnv> env;
  Held<avcore::IAVDevManager> manager;
  ASSERT_EQ(root_->CreateComponent(avcore::CLSID_AVEnv, avcore::IID_IAVEnv, nullptr, env.out()), S_OK);
  ASSERT_EQ(env->QueryInterface(avcore::IID_IAVDevManager, manager.out()), S_OK);
  env.reset();
  EXPECT_EQ(manager->GetAudioCaptureDeviceCount(), 0);  // no Quietwell.dll here
  ASSERT_EQ(manager->SetupRtspVideoPlugins(1), S_OK);
  const int32_t id = manager->AddVideoPlugin("rtsp-ex100", "rtsp://127.0.0.1/x", 2);
  EXPECT_GE(id, 1);
  EXPECT_EQ(manager->RemoveVideoPlugin(id), S_OK);
}

// A video device answers its preview render manager, one object per device.
TEST_F(ComponentsTest, VideoDeviceHasAPreviewRenderManager) {
  ASSERT_NO_FATAL_FAILURE(StartWithRoot(L""));
  Held<avcore::IVideoDevice> device;
  Held<avcore::IVideoRenderManager> preview, again;
  ASSERT_EQ(root_->CreateComponent(avcore::CLSID_VideoDevice, avcore::IID_IVideoDevice, nullptr, device.out()), S_OK);
  ASSERT_EQ(device->QueryInterface(avcore::IID_IVideoRenderManager, preview.out()), S_OK);
  ASSERT_EQ(device->QueryInterface(avcore::IID_IVideoRenderManager, again.out()), S_OK);
  EXPECT_EQ(preview.p, again.p);
  preview.reset();
  again.reset();
  // The preview outlives a released device.
  ASSERT_EQ(device->QueryInterface(avcore::IID_IVideoRenderManager, preview.out()), S_OK);
  device.reset();
  avcore::RenderStats stats{};
  EXPECT_EQ(preview->GetRenderStats(1, &stats), E_INVALIDARG);
}

// The core environment's bring-up succeeds end to end in its order, and its teardown
// leaves nothing alive.
TEST_F(ComponentsTest, CoreEnvironmentBringUpAndTeardown) {
  TempDir logs;
  ASSERT_NO_FATAL_FAILURE(StartWithRoot(logs.path()));
  Held<avcore::ILogCenter> log_center;
  Held<avcore::IConfigCenter> config;
  Held<avcore::ISessionManager> sessions;
  Held<avcore::IScreenRecorder> probe;
  Held<avcore::IAudioDevice> audio;
  Held<avcore::IVideoRenderManager> video_renders;
  Held<avcore::IKivConnection> connection;
  Held<avcore::IAvNet> net;
  Held<avcore::IVncRenderManager> vnc_renders;
  Held<avcore::IAVEnv> env;
  Held<avcore::IAVDevManager> dev_manager;
  Held<avcore::IVideoDevice> video_device;

  ASSERT_EQ(root_->QueryInterface(avcore::IID_ILogCenter, log_center.out()), S_OK);
  ASSERT_EQ(root_->QueryInterface(avcore::IID_IConfigCenter, config.out()), S_OK);
  const avcore::LoggerHandle logger = log_center->CreateLogger("kivcore", 1, 2, 0);
  ASSERT_NE(logger, 0u);
  EXPECT_EQ(config->SetConfig("avcore.trans.audioheader.v1", "TRUE"), S_OK);
  avcore::ConfigScope scope{};
  EXPECT_EQ(config->SetConfigEx("avcore.video.gpu.enc.num", &scope, 0, "0"), S_OK);
  ASSERT_EQ(root_->QueryInterface(avcore::IID_ISessionManager, sessions.out()), S_OK);
  ASSERT_EQ(root_->CreateComponent(avcore::CLSID_ScreenRecorder, avcore::IID_IScreenRecorder, nullptr, probe.out()),
            S_OK);
  probe.reset();
  ASSERT_EQ(root_->CreateComponent(avcore::CLSID_AudioDevice, avcore::IID_IAudioDevice, nullptr, audio.out()), S_OK);
  ASSERT_EQ(root_->CreateComponent(avcore::CLSID_VideoRenderManager, avcore::IID_IVideoRenderManager, nullptr,
                                   video_renders.out()),
            S_OK);
  ASSERT_EQ(root_->CreateComponent(avcore::CLSID_KivConnection, avcore::IID_IKivConnection, nullptr, connection.out()),
            S_OK);
  ASSERT_EQ(root_->CreateComponent(avcore::CLSID_AvNet, avcore::IID_IAvNet, nullptr, net.out()), S_OK);
  ASSERT_EQ(
      root_->CreateComponent(avcore::CLSID_VncRenderManager, avcore::IID_IVncRenderManager, nullptr, vnc_renders.out()),
      S_OK);
  ASSERT_EQ(root_->CreateComponent(avcore::CLSID_AVEnv, avcore::IID_IAVEnv, nullptr, env.out()), S_OK);
  ASSERT_EQ(env->QueryInterface(avcore::IID_IAVDevManager, dev_manager.out()), S_OK);
  env.reset();
  (void)dev_manager->SetupRtspVideoPlugins(64);  // may fail
  ASSERT_EQ(root_->CreateComponent(avcore::CLSID_VideoDevice, avcore::IID_IVideoDevice, nullptr, video_device.out()),
            S_OK);
  EXPECT_GE(video_device->ReEnumerate(), 0);
  EXPECT_GE(net->Initialize(connection.p, audio.p, video_renders.p, vnc_renders.p, 0), 0);
  EXPECT_EQ(connection->GetStatus(), avcore::CPSTATUS_UNCONNECT);

  // Teardown in the core's order.
  EXPECT_GE(audio->StopPlay(), 0);
  EXPECT_GE(audio->StopCapture(), 0);
  EXPECT_GE(connection->Logout(), 0);
  video_device.reset();
  dev_manager.reset();
  video_renders.reset();
  audio.reset();
  net.reset();
  connection.reset();
  config.reset();
  vnc_renders.reset();
  EXPECT_EQ(sessions->Uninit(), S_OK);
  EXPECT_EQ(sessions->Uninit(), S_FALSE);
  EXPECT_EQ(log_center->ReleaseLogger(logger), S_OK);
  sessions.reset();
  log_center.reset();
  root_->Release();
  root_ = nullptr;
  EXPECT_EQ(LiveObjects(), 0);
}

// IAvNet::Initialize needs all four components.
TEST_F(ComponentsTest, AvNetInitializeRefusesMissingComponents) {
  ASSERT_NO_FATAL_FAILURE(StartWithRoot(L""));
  Held<avcore::IAvNet> net;
  ASSERT_EQ(root_->CreateComponent(avcore::CLSID_AvNet, avcore::IID_IAvNet, nullptr, net.out()), S_OK);
  EXPECT_EQ(net->Initialize(nullptr, nullptr, nullptr, nullptr, 0), E_INVALIDARG);
}

// The configuration centre keeps every key; the test hook and GetConfig read it back.
TEST_F(ComponentsTest, ConfigCentreKeepsEveryKey) {
  ASSERT_NO_FATAL_FAILURE(StartWithRoot(L""));
  Held<avcore::IConfigCenter> config;
  ASSERT_EQ(root_->QueryInterface(avcore::IID_IConfigCenter, config.out()), S_OK);
  EXPECT_EQ(config->SetConfig("avcore.trans.qos.bwadp", "TRUE"), S_OK);
  EXPECT_EQ(config->SetConfig("avcore.video.svc2.onoff", "FALSE"), S_OK);
  EXPECT_EQ(config->SetConfigEx("avcore.encode.svc.temporal", nullptr, 0, "FALSE"), S_OK);
  EXPECT_EQ(config->SetConfig("avcore.trans.qos.bwadp", "FALSE"), S_OK);
  EXPECT_EQ(Config("avcore.trans.qos.bwadp"), "FALSE");
  EXPECT_EQ(Config("avcore.video.svc2.onoff"), "FALSE");
  EXPECT_EQ(Config("avcore.encode.svc.temporal"), "FALSE");
  EXPECT_EQ(Config("avcore.video.gpu.dec.num"), "<absent>");

  char value[8];
  EXPECT_EQ(config->GetConfig("avcore.video.svc2.onoff", value, sizeof(value)), S_OK);
  EXPECT_STREQ(value, "FALSE");
  EXPECT_EQ(config->GetConfig("avcore.video.svc2.onoff", value, 5), HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(config->GetConfig("nothing", value, sizeof(value)), HRESULT_FROM_WIN32(ERROR_NOT_FOUND));
  EXPECT_EQ(config->SetConfig(nullptr, "x"), E_POINTER);
  EXPECT_EQ(config->SetConfig("k", nullptr), E_POINTER);
  EXPECT_EQ(config->SetConfig("", "x"), E_INVALIDARG);

  // Kept after Uninit, emptied by the next Init.
  config.reset();
  root_->Release();
  root_ = nullptr;
  ASSERT_EQ(table_.Uninit(), S_OK);
  EXPECT_EQ(Config("avcore.trans.qos.bwadp"), "FALSE");
  ASSERT_EQ(table_.Init(1, L"", L"", 0, 0), S_OK);
  EXPECT_EQ(Config("avcore.trans.qos.bwadp"), "<absent>");
}

}  // namespace
}  // namespace tessarine_test
