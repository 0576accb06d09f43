// The teardown of the core environment on scripted components that log their releases.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/env/core_env.h"
#include "core/env/log_record.h"
#include "core/env/testing/media_fakes.h"

namespace {

using kiv_media_fake::CallLog;

// A scripted component whose Release is logged under `name`.
template <class Fake>
struct Logged : Fake {
  template <class... Args>
  Logged(CallLog* log, const char* name, Args... args) : Fake(args...), releases(log), name(name) {}
  ULONG AVCORE_CALL Release() override {
    releases->Add(std::string("release ") + name);
    return Fake::Release();
  }
  CallLog* releases;
  const char* name;
};

struct Connection : kiv_media_fake::Connection {
  CallLog* log = nullptr;
  HRESULT AVCORE_CALL Logout() override {
    log->Add("Logout");
    return S_OK;
  }
};

struct DevManager : kiv_media_fake::DevManager {
  using kiv_media_fake::DevManager::DevManager;
  HRESULT AVCORE_CALL RemoveVideoPlugin(int32_t id) override {
    log->Add("RemoveVideoPlugin " + std::to_string(id));
    return S_OK;
  }
};

struct SessionManager : kiv_fake::Counted<avcore::ISessionManager> {
  CallLog* log;
  explicit SessionManager(CallLog* l) : log(l) {}
  HRESULT AVCORE_CALL Init() override { return S_OK; }
  HRESULT AVCORE_CALL Uninit() override {
    log->Add("Uninit");
    return S_OK;
  }
  BOOL AVCORE_CALL IsInited() override { return TRUE; }
};

struct ConfigCenter : kiv_fake::Counted<avcore::IConfigCenter> {
  HRESULT AVCORE_CALL SetConfig(const char*, const char*) override { return S_OK; }
  HRESULT AVCORE_CALL SetConfigEx(const char*, const avcore::ConfigScope*, int32_t, const char*) override {
    return S_OK;
  }
  HRESULT AVCORE_CALL GetConfig(const char*, char*, int32_t) override { return E_FAIL; }
};

struct LogCenter : kiv_fake::Counted<avcore::ILogCenter> {
  CallLog* log;
  explicit LogCenter(CallLog* l) : log(l) {}
  avcore::ILogManager* AVCORE_CALL GetLogManager() override { return nullptr; }
  avcore::LoggerHandle AVCORE_CALL CreateLogger(const char*, int32_t, int32_t, int32_t) override { return 0; }
  HRESULT AVCORE_CALL ReleaseLogger(avcore::LoggerHandle handle) override {
    log->Add("ReleaseLogger " + std::to_string(handle));
    return S_OK;
  }
};

struct VncRenders : kiv_fake::Counted<avcore::IVncRenderManager> {
  HRESULT AVCORE_CALL AddRender2(HWND, const avcore::EventRecord*, avcore::RenderId*,
                                 const avcore::VncViewConfig*) override {
    return E_FAIL;
  }
  HRESULT AVCORE_CALL RemoveRender(avcore::RenderId) override { return S_OK; }
  HRESULT AVCORE_CALL SetViewConfig(avcore::RenderId, const avcore::VncViewConfig*) override { return S_OK; }
  HRESULT AVCORE_CALL GetRenderStats(avcore::RenderId, avcore::RenderStats*) override { return E_FAIL; }
  HRESULT AVCORE_CALL SetRawDataCallback(avcore::RenderId, void*, avcore::RenderFrameCallback,
                                         avcore::RenderValueCallback) override {
    return S_OK;
  }
};

}  // namespace

// Every member is given back once, in the fixed order, with the connection logged out, the
// added plug-ins removed and the core logger released first; a second teardown does nothing.
TEST(CoreEnvReleaseTest, ReleasesInOrderOnce) {
  CallLog log;
  CallLog unused;
  Logged<kiv_media_fake::Root> root(&log, "root");
  Logged<kiv_media_fake::Audio> audio(&log, "audio", &unused);
  Logged<kiv_media_fake::Renders> renders(&log, "renders", &unused, "Render", 100);
  Logged<Connection> connection(&log, "connection");
  connection.log = &log;
  Logged<kiv_media_fake::Net> net(&log, "net", &unused);
  Logged<VncRenders> viewers(&log, "viewers");
  Logged<DevManager> devices(&log, "devices", &log);
  Logged<SessionManager> sessions(&log, "sessions", &log);
  Logged<ConfigCenter> config(&log, "config");
  Logged<LogCenter> logs(&log, "logs", &log);

  {
    kiv_core::CoreEnv env;
    env.m_basecore.Attach(&root);
    env.m_audiodevice.Attach(&audio);
    env.m_video_rendermanager.Attach(&renders);
    env.m_connection.Attach(&connection);
    env.m_avnet.Attach(&net);
    env.m_vnc_rendermanager.Attach(&viewers);
    env.m_devmanager.Attach(&devices);
    env.m_sessionmanager.Attach(&sessions);
    env.m_configcenter.Attach(&config);
    env.m_logcenter.Attach(&logs);
    env.m_baseCoreInited = true;
    env.m_plugins.resize(3);
    env.m_plugins[0].videoPluginId = 5;
    env.m_plugins[0].videoPluginAdded = true;
    env.m_plugins[1].videoPluginId = 6;  // never taken by the framework
    env.m_plugins[2].videoPluginId = 7;
    env.m_plugins[2].videoPluginAdded = true;
    kiv_core::CoreLogger().handle = 9;

    env.ReleaseBaseCore();
    EXPECT_EQ(kiv_fake::Joined(log.Take()),
              "Logout, RemoveVideoPlugin 5, RemoveVideoPlugin 7, release devices, release renders, "
              "release audio, release net, release connection, release config, release viewers, Uninit, "
              "ReleaseLogger 9, release sessions, release logs, release root");
    EXPECT_FALSE(kiv_core::CoreEnv::IsBaseCoreInited());
    EXPECT_EQ(kiv_core::CoreLogger().handle, 0u);
    EXPECT_TRUE(env.m_plugins.empty());
    EXPECT_FALSE(env.m_basecore || env.m_connection || env.m_devmanager || env.m_logcenter);

    env.ReleaseBaseCore();
  }  // and once more from the destructor
  EXPECT_TRUE(log.Take().empty());
}

// Without a logger handle the log centre is released but not asked to release a logger.
TEST(CoreEnvReleaseTest, PartialHoldReleasesOnlyWhatIsHeld) {
  CallLog log;
  Logged<kiv_media_fake::Root> root(&log, "root");
  Logged<LogCenter> logs(&log, "logs", &log);
  Logged<SessionManager> sessions(&log, "sessions", &log);
  kiv_core::CoreEnv env;
  env.m_basecore.Attach(&root);
  env.m_logcenter.Attach(&logs);
  env.m_sessionmanager.Attach(&sessions);
  kiv_core::CoreLogger().handle = 0;
  env.ReleaseBaseCore();
  EXPECT_EQ(kiv_fake::Joined(log.Take()), "Uninit, release sessions, release logs, release root");
}
