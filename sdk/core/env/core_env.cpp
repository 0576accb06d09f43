#include "core/env/core_env.h"

#include <memory>

#include "avcore/ids.h"
#include "base/text/string_util.h"
#include "base/text/text_holders.h"
#include "core/env/framework_loader.h"
#include "core/env/log_record.h"

namespace kiv_core {

namespace {

constexpr const char* kFrameworkVersion = "3.19.4.m_B00469_win32";
constexpr const char* kSdkVersion = "2.1.0.0";
constexpr int kRtspVideoPluginSlots = 64;

CoreEnv* g_instance = nullptr;

// A component of the root; a failed call leaves nothing held.
template <class T>
HRESULT Create(avcore::IBaseCore* root, REFCLSID classId, REFIID interfaceId, kiv_common::ComRef<T>& out) {
  const HRESULT hr = root->CreateComponent(classId, interfaceId, nullptr, out.ReceiveVoid());
  if (FAILED(hr)) {
    (void)out.Detach();  // whatever a failed call wrote carries no reference
    return hr;
  }
  return out ? hr : E_POINTER;
}

// An interface of `object` into `out`; false, with nothing held, when there is none.
template <class Source, class T>
bool Query(Source* object, REFIID interfaceId, kiv_common::ComRef<T>& out) {
  if (FAILED(object->QueryInterface(interfaceId, out.ReceiveVoid()))) (void)out.Detach();
  return static_cast<bool>(out);
}

// Undoes a bring-up that stops before its end: everything taken so far is released, in
// the teardown's order, and the framework unloaded.
class BringUpRollBack {
 public:
  explicit BringUpRollBack(CoreEnv* env) : m_env(env) {}
  ~BringUpRollBack() {
    if (m_env) m_env->ReleaseBaseCore();
  }
  BringUpRollBack(const BringUpRollBack&) = delete;
  BringUpRollBack& operator=(const BringUpRollBack&) = delete;
  void Dismiss() { m_env = nullptr; }

 private:
  CoreEnv* m_env;
};

std::string LogDirectoryOf(const std::string& workDir) {
  const char separator = workDir.find('/') != std::string::npos ? '/' : '\\';
  return workDir + separator + "log";
}

}  // namespace

CoreEnv::CoreEnv() { g_instance = this; }

CoreEnv::~CoreEnv() {
  ReleaseBaseCore();
  if (g_instance == this) g_instance = nullptr;
}

CoreEnv* CoreEnv::Instance() { return g_instance; }

bool CoreEnv::IsBaseCoreInited() { return g_instance && g_instance->m_baseCoreInited; }

bool CoreEnv::IsConnected() {
  return g_instance && g_instance->m_connection && g_instance->m_connection->GetStatus() >= avcore::CPSTATUS_CONNECTED;
}

bool CoreEnv::IsLogined() {
  return g_instance && g_instance->m_connection && g_instance->m_connection->GetStatus() == avcore::CPSTATUS_LOGINED;
}

bool CoreEnv::CreateBaseCore(const std::string& frameworkDirs, const std::string& workDir,
                             const std::string& pluginConfigPath) {
  if (m_basecore) {
    KIV_LOG("CreateBaseCore has been done.");
    return true;
  }
  BringUpRollBack rollBack(this);

  const Utf8ToWide dirs(frameworkDirs);
  const Utf8ToWide logDir(LogDirectoryOf(workDir));
  LoadFramework(1, dirs.Get(), logDir.Get(), m_basecore.Receive(), 0);
  if (!m_basecore) return false;

  if (!Query(m_basecore.get(), avcore::IID_ILogCenter, m_logcenter)) {
    KIV_LOG("QueryInterface for m_logcenter failed.");
    return false;
  }
  if (!Query(m_basecore.get(), avcore::IID_IConfigCenter, m_configcenter)) {
    KIV_LOG("query config center fail");
    return false;
  }
  StartCoreLogger();
  WriteConfigKeys();

  if (!Query(m_basecore.get(), avcore::IID_ISessionManager, m_sessionmanager)) {
    KIV_LOG("CreateComponent for m_sessionmanager failed.");
    return false;
  }

  if (SUCCEEDED(
          Create(m_basecore.get(), avcore::CLSID_ScreenRecorder, avcore::IID_IScreenRecorder, m_screenrecorder))) {
    KIV_LOG("CreateComponent for CLSID_ScreenRecorder success.");
  }
  m_screenrecorder.Reset();

  if (FAILED(Create(m_basecore.get(), avcore::CLSID_AudioDevice, avcore::IID_IAudioDevice, m_audiodevice))) {
    KIV_LOG("CreateComponent for m_audiodevice failed.");
    return false;
  }
  if (FAILED(Create(m_basecore.get(), avcore::CLSID_VideoRenderManager, avcore::IID_IVideoRenderManager,
                    m_video_rendermanager))) {
    KIV_LOG("CreateComponent for m_video_rendermanager failed.");
    return false;
  }
  if (FAILED(Create(m_basecore.get(), avcore::CLSID_KivConnection, avcore::IID_IKivConnection, m_connection))) {
    KIV_LOG("crate kiv connection fail");
    return false;
  }
  if (FAILED(Create(m_basecore.get(), avcore::CLSID_AvNet, avcore::IID_IAvNet, m_avnet))) {
    KIV_LOG("crate avnet component fail");
    return false;
  }
  if (FAILED(Create(m_basecore.get(), avcore::CLSID_VncRenderManager, avcore::IID_IVncRenderManager,
                    m_vnc_rendermanager))) {
    KIV_LOG("QueryInterface for m_vnc_rendermanager failed.");
    return false;
  }
  {
    kiv_common::ComRef<avcore::IAVEnv> env;
    if (FAILED(Create(m_basecore.get(), avcore::CLSID_AVEnv, avcore::IID_IAVEnv, env))) {
      KIV_LOG("ERR:CVideoDevice CreateComponent IAVEnv failed.\n");
      return false;
    }
    // Only the device manager is kept, not the environment it came from.
    const bool queried = Query(env.get(), avcore::IID_IAVDevManager, m_devmanager);
    env.Reset();
    if (!queried) {
      KIV_LOG("QueryInterface IID_IAVDevManager Component failed.\n");
      return false;
    }
  }
  rollBack.Dismiss();

  KIV_LOG("CreateBaseCore success. avcirever: %s, sdkver: %s", kFrameworkVersion, kSdkVersion);
  m_baseCoreInited = true;

  if (FAILED(m_devmanager->SetupRtspVideoPlugins(kRtspVideoPluginSlots)))
    KIV_LOG("Add rtsp video plugin to 64 failed!!!\n");
  LoadAvPlugins(pluginConfigPath);
  KIV_LOG("CreateBaseCore sucess");
  return true;
}

void CoreEnv::StartCoreLogger() {
  // Without a logger of its own the core runs silently.
  ModuleLogger& logger = CoreLogger();
  logger.manager = m_logcenter->GetLogManager();
  logger.handle = m_logcenter->CreateLogger("kivcore", 1, avcore::kLogToFile, 0);
  if (logger.handle == 0) {
    logger.manager = nullptr;
    m_logcenter.Reset();
  }
}

void CoreEnv::WriteConfigKeys() {
  avcore::IConfigCenter* config = m_configcenter.get();
  config->SetConfig("avcore.trans.audioheader.v1", "TRUE");
  config->SetConfig("avcore.trans.videoheader.v1", "TRUE");
  config->SetConfig("avcore.trans.qos.bwadp", "TRUE");
  config->SetConfig("avcore.trans.qos.bwest", "TRUE");
  config->SetConfig("avcore.trans.qos.nack", "TRUE");
  config->SetConfig("avcore.vnc.netimage.upright", "TRUE");
  config->SetConfig("avcore.video.svc2.onoff", "FALSE");
  {
    auto scope = std::make_unique<avcore::ConfigScope>();
    *scope = {0, 0};
    config->SetConfigEx("avcore.encode.svc.temporal", scope.get(), 0, "FALSE");
  }
  config->SetConfig("avcore.trans.qos.bwadp", "TRUE");
  config->SetConfig("avcore.trans.qos.bwest", "TRUE");
  {
    auto scope = std::make_unique<avcore::ConfigScope>();
    *scope = {0, 0};
    config->SetConfigEx("avcore.video.gpu.enc.num", scope.get(), 0,
                        IntToString(static_cast<unsigned>(m_config.hwEncoderCount)).c_str());
    config->SetConfigEx("avcore.video.gpu.dec.num", scope.get(), 0,
                        IntToString(static_cast<unsigned>(m_config.hwDecoderCount)).c_str());
  }
}

void CoreEnv::ReleaseBaseCore() {
  if (m_connection) m_connection->Logout();
  if (m_devmanager) {
    for (const AVPluginInfo& plugin : m_plugins) {
      if (plugin.videoPluginAdded) m_devmanager->RemoveVideoPlugin(plugin.videoPluginId);
    }
  }
  m_plugins.clear();
  m_devmanager.Reset();
  m_video_rendermanager.Reset();
  m_audiodevice.Reset();
  m_avnet.Reset();
  m_connection.Reset();
  m_configcenter.Reset();
  m_vnc_rendermanager.Reset();
  m_screenrecorder.Reset();
  if (m_sessionmanager) m_sessionmanager->Uninit();
  ModuleLogger& logger = CoreLogger();
  if (m_logcenter && logger.handle) m_logcenter->ReleaseLogger(logger.handle);
  // Logging stops here: the manager belongs to the centre released below.
  logger.handle = 0;
  logger.manager = nullptr;
  m_sessionmanager.Reset();
  m_logcenter.Reset();
  m_basecore.Reset();
  UnloadFramework();
  m_baseCoreInited = false;
}

}  // namespace kiv_core
