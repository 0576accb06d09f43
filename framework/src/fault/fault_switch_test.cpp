// The fault switch: each named step fails on purpose, and only while it is named.
#include "dll_fixture.h"

namespace tessarine_test {
namespace {

using FaultSwitchTest = FrameworkTest;

// PMDll, Init and GetObject fail when named; PMDll.NoInit leaves the table without Init.
TEST_F(FaultSwitchTest, EntryStepsFailWhenNamed) {
  {
    ScopedEnv fail(kFailVariable, L"PMDll");
    EXPECT_EQ(pmdll_(&table_), E_FAIL);
    EXPECT_EQ(table_.Init, nullptr);
  }
  {
    ScopedEnv fail(kFailVariable, L"pmdll.noinit");
    EXPECT_EQ(pmdll_(&table_), S_OK);
    EXPECT_EQ(table_.Init, nullptr);
    EXPECT_NE(table_.GetObject, nullptr);
  }
  ASSERT_EQ(pmdll_(&table_), S_OK);
  {
    ScopedEnv fail(kFailVariable, L"Init");
    EXPECT_EQ(table_.Init(1, L"", L"", 0, 0), E_FAIL);
  }
  ASSERT_NO_FATAL_FAILURE(Start(L""));
  {
    ScopedEnv fail(kFailVariable, L"GetObject");
    void* object = nullptr;
    EXPECT_EQ(table_.GetObject(avcore::CLSID_BaseCore, &object), E_FAIL);
    EXPECT_EQ(object, nullptr);
  }
  EXPECT_EQ(table_.GetObject(avcore::CLSID_BaseCore, reinterpret_cast<void**>(&root_)), S_OK);
}

// Each service of the root fails by its interface name; the others still answer.
TEST_F(FaultSwitchTest, ServicesFailByName) {
  ASSERT_NO_FATAL_FAILURE(StartWithRoot(L""));
  const struct {
    const wchar_t* name;
    const GUID* iid;
  } services[] = {{L"ILogCenter", &avcore::IID_ILogCenter},
                  {L"IConfigCenter", &avcore::IID_IConfigCenter},
                  {L"ISessionManager", &avcore::IID_ISessionManager}};
  for (const auto& failing : services) {
    ScopedEnv fail(kFailVariable, failing.name);
    for (const auto& s : services) {
      Held<IUnknown> out;
      const HRESULT hr = root_->QueryInterface(*s.iid, out.out());
      EXPECT_EQ(hr, s.iid == failing.iid ? E_FAIL : S_OK);
      EXPECT_EQ(out.p == nullptr, s.iid == failing.iid);
    }
  }
}

// Every creatable component fails by its interface name, and works again once unnamed.
TEST_F(FaultSwitchTest, ComponentsFailByName) {
  ASSERT_NO_FATAL_FAILURE(StartWithRoot(L""));
  const struct {
    const wchar_t* name;
    const GUID* class_id;
    const GUID* interface_id;
  } components[] = {
      {L"IScreenRecorder", &avcore::CLSID_ScreenRecorder, &avcore::IID_IScreenRecorder},
      {L"IAudioDevice", &avcore::CLSID_AudioDevice, &avcore::IID_IAudioDevice},
      {L"IVideoRenderManager", &avcore::CLSID_VideoRenderManager, &avcore::IID_IVideoRenderManager},
      {L"IKivConnection", &avcore::CLSID_KivConnection, &avcore::IID_IKivConnection},
      {L"IAvNet", &avcore::CLSID_AvNet, &avcore::IID_IAvNet},
      {L"IVncRenderManager", &avcore::CLSID_VncRenderManager, &avcore::IID_IVncRenderManager},
      {L"IAVEnv", &avcore::CLSID_AVEnv, &avcore::IID_IAVEnv},
      {L"IVideoDevice", &avcore::CLSID_VideoDevice, &avcore::IID_IVideoDevice},
      {L"IVncHost", &avcore::CLSID_VncHost, &avcore::IID_IVncHost},
  };
  for (const auto& c : components) {
    SCOPED_TRACE(std::string(c.name, c.name + wcslen(c.name)));
    Held<IUnknown> out;
    {
      ScopedEnv fail(kFailVariable, (std::wstring(L"Init,") + c.name).c_str());
      EXPECT_EQ(root_->CreateComponent(*c.class_id, *c.interface_id, nullptr, out.out()), E_FAIL);
      EXPECT_EQ(out.p, nullptr);
    }
    EXPECT_EQ(root_->CreateComponent(*c.class_id, *c.interface_id, nullptr, out.out()), S_OK);
  }
}

// IAVDevManager fails at the environment's QueryInterface; IAvNet.Initialize at Initialize;
// ILogCenter.CreateLogger makes CreateLogger return 0.
TEST_F(FaultSwitchTest, OperationsFailByName) {
  ASSERT_NO_FATAL_FAILURE(StartWithRoot(L""));
  Held<avcore::IAVEnv> env;
  Held<avcore::IAVDevManager> manager;
  ASSERT_EQ(root_->CreateComponent(avcore::CLSID_AVEnv, avcore::IID_IAVEnv, nullptr, env.out()), S_OK);
  {
    ScopedEnv fail(kFailVariable, L"IAVDevManager");
    EXPECT_EQ(env->QueryInterface(avcore::IID_IAVDevManager, manager.out()), E_FAIL);
    EXPECT_EQ(manager.p, nullptr);
  }
  EXPECT_EQ(env->QueryInterface(avcore::IID_IAVDevManager, manager.out()), S_OK);

  Held<avcore::IAudioDevice> audio;
  Held<avcore::IVideoRenderManager> video;
  Held<avcore::IKivConnection> connection;
  Held<avcore::IAvNet> net;
  Held<avcore::IVncRenderManager> vnc;
  ASSERT_EQ(root_->CreateComponent(avcore::CLSID_AudioDevice, avcore::IID_IAudioDevice, nullptr, audio.out()), S_OK);
  ASSERT_EQ(
      root_->CreateComponent(avcore::CLSID_VideoRenderManager, avcore::IID_IVideoRenderManager, nullptr, video.out()),
      S_OK);
  ASSERT_EQ(root_->CreateComponent(avcore::CLSID_KivConnection, avcore::IID_IKivConnection, nullptr, connection.out()),
            S_OK);
  ASSERT_EQ(root_->CreateComponent(avcore::CLSID_AvNet, avcore::IID_IAvNet, nullptr, net.out()), S_OK);
  ASSERT_EQ(root_->CreateComponent(avcore::CLSID_VncRenderManager, avcore::IID_IVncRenderManager, nullptr, vnc.out()),
            S_OK);
  {
    ScopedEnv fail(kFailVariable, L"IAvNet.Initialize");
    EXPECT_EQ(net->Initialize(connection.p, audio.p, video.p, vnc.p, 0), E_FAIL);
  }
  EXPECT_EQ(net->Initialize(connection.p, audio.p, video.p, vnc.p, 0), S_OK);

  Held<avcore::ILogCenter> log;
  ASSERT_EQ(root_->QueryInterface(avcore::IID_ILogCenter, log.out()), S_OK);
  {
    ScopedEnv fail(kFailVariable, L"ILogCenter.CreateLogger");
    EXPECT_EQ(log->CreateLogger("kivcore", 1, 2, 0), 0u);
  }
  EXPECT_NE(log->CreateLogger("kivcore", 1, 2, 0), 0u);
}

// A fault hit is written to the framework's own log.
TEST_F(FaultSwitchTest, FaultHitIsLogged) {
  TempDir logs;
  ASSERT_NO_FATAL_FAILURE(StartWithRoot(logs.path()));
  {
    ScopedEnv fail(kFailVariable, L"IAvNet");
    Held<IUnknown> out;
    EXPECT_EQ(root_->CreateComponent(avcore::CLSID_AvNet, avcore::IID_IAvNet, nullptr, out.out()), E_FAIL);
  }
  bool found = false;
  for (const std::string& line : ReadLines(LogFilePath())) {
    if (line.find(" tessarine 2 ") != std::string::npos &&
        line.find("fault switch: IAvNet fails on purpose") != std::string::npos) {
      found = true;
    }
  }
  EXPECT_TRUE(found);
}

}  // namespace
}  // namespace tessarine_test
