#include "core/core_env.h"

#include <memory>

#include "avcore/ids.h"
#include "base/string_util.h"
#include "base/text_holders.h"
#include "core/framework_loader.h"
#include "core/log_record.h"

namespace kiv_core {

namespace {

constexpr const char* kFrameworkVersion = "3.19.4.m_B00469_win32";
constexpr const char* kSdkVersion = "2.1.0.0";
constexpr int kRtspVideoPluginSlots = 64;

CoreEnv* g_instance = nullptr;

template <class T>
void ReleaseMember(T*& member) {
    if (member) {
        member->Release();
        member = nullptr;
    }
}

template <class T>
HRESULT Create(avcore::IBaseCore* root, REFCLSID classId, REFIID interfaceId, T** out) {
    *out = nullptr;
    const HRESULT hr = root->CreateComponent(classId, interfaceId, nullptr, reinterpret_cast<void**>(out));
    if (SUCCEEDED(hr) && !*out) return E_POINTER;
    return hr;
}

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
    return g_instance && g_instance->m_connection &&
           g_instance->m_connection->GetStatus() >= avcore::CPSTATUS_CONNECTED;
}

bool CoreEnv::IsLogined() {
    return g_instance && g_instance->m_connection &&
           g_instance->m_connection->GetStatus() == avcore::CPSTATUS_LOGINED;
}

bool CoreEnv::CreateBaseCore(const std::string& frameworkDirs, const std::string& workDir,
                             const std::string& pluginConfigPath) {
    if (m_basecore) {
        KIV_LOG("CreateBaseCore has been done.");
        return true;
    }

    const Utf8ToWide dirs(frameworkDirs);
    const Utf8ToWide logDir(LogDirectoryOf(workDir));
    LoadFramework(1, dirs.Get(), logDir.Get(), &m_basecore, 0);
    if (!m_basecore) {
        ReleaseBaseCore();
        return false;
    }

    if (FAILED(m_basecore->QueryInterface(avcore::IID_ILogCenter,
                                          reinterpret_cast<void**>(&m_logcenter))) ||
        !m_logcenter) {
        m_logcenter = nullptr;
        KIV_LOG("QueryInterface for m_logcenter failed.");
        ReleaseBaseCore();
        return false;
    }
    m_basecore->QueryInterface(avcore::IID_IConfigCenter, reinterpret_cast<void**>(&m_configcenter));
    if (!m_configcenter) {
        KIV_LOG("query config center fail");
        ReleaseBaseCore();
        return false;
    }

    // The core's own logger; without one the core runs silently.
    ModuleLogger& logger = CoreLogger();
    logger.manager = m_logcenter->GetLogManager();
    logger.handle = m_logcenter->CreateLogger("kivcore", 1, avcore::kLogToFile, 0);
    if (logger.handle == 0) {
        logger.manager = nullptr;
        ReleaseMember(m_logcenter);
    }

    m_configcenter->SetConfig("avcore.trans.audioheader.v1", "TRUE");
    m_configcenter->SetConfig("avcore.trans.videoheader.v1", "TRUE");
    m_configcenter->SetConfig("avcore.trans.qos.bwadp", "TRUE");
    m_configcenter->SetConfig("avcore.trans.qos.bwest", "TRUE");
    m_configcenter->SetConfig("avcore.trans.qos.nack", "TRUE");
    m_configcenter->SetConfig("avcore.vnc.netimage.upright", "TRUE");
    m_configcenter->SetConfig("avcore.video.svc2.onoff", "FALSE");
    {
        auto scope = std::make_unique<avcore::ConfigScope>();
        *scope = {0, 0};
        m_configcenter->SetConfigEx("avcore.encode.svc.temporal", scope.get(), 0, "FALSE");
    }
    m_configcenter->SetConfig("avcore.trans.qos.bwadp", "TRUE");
    m_configcenter->SetConfig("avcore.trans.qos.bwest", "TRUE");
    {
        auto scope = std::make_unique<avcore::ConfigScope>();
        *scope = {0, 0};
        m_configcenter->SetConfigEx("avcore.video.gpu.enc.num", scope.get(), 0,
                                    IntToString(static_cast<unsigned>(m_config.hwEncoderCount)).c_str());
        m_configcenter->SetConfigEx("avcore.video.gpu.dec.num", scope.get(), 0,
                                    IntToString(static_cast<unsigned>(m_config.hwDecoderCount)).c_str());
    }

    m_basecore->QueryInterface(avcore::IID_ISessionManager,
                               reinterpret_cast<void**>(&m_sessionmanager));
    if (!m_sessionmanager) {
        KIV_LOG("CreateComponent for m_sessionmanager failed.");
        ReleaseBaseCore();
        return false;
    }

    if (SUCCEEDED(Create(m_basecore, avcore::CLSID_ScreenRecorder, avcore::IID_IScreenRecorder,
                         &m_screenrecorder))) {
        KIV_LOG("CreateComponent for CLSID_ScreenRecorder success.");
    }
    ReleaseMember(m_screenrecorder);

    if (FAILED(Create(m_basecore, avcore::CLSID_AudioDevice, avcore::IID_IAudioDevice,
                      &m_audiodevice))) {
        KIV_LOG("CreateComponent for m_audiodevice failed.");
        ReleaseBaseCore();
        return false;
    }
    if (FAILED(Create(m_basecore, avcore::CLSID_VideoRenderManager, avcore::IID_IVideoRenderManager,
                      &m_video_rendermanager))) {
        KIV_LOG("CreateComponent for m_video_rendermanager failed.");
        ReleaseBaseCore();
        return false;
    }
    if (FAILED(Create(m_basecore, avcore::CLSID_KivConnection, avcore::IID_IKivConnection,
                      &m_connection))) {
        KIV_LOG("crate kiv connection fail");
        ReleaseBaseCore();
        return false;
    }
    if (FAILED(Create(m_basecore, avcore::CLSID_AvNet, avcore::IID_IAvNet, &m_avnet))) {
        KIV_LOG("crate avnet component fail");
        ReleaseBaseCore();
        return false;
    }
    if (FAILED(Create(m_basecore, avcore::CLSID_VncRenderManager, avcore::IID_IVncRenderManager,
                      &m_vnc_rendermanager))) {
        KIV_LOG("QueryInterface for m_vnc_rendermanager failed.");
        ReleaseBaseCore();
        return false;
    }
    avcore::IAVEnv* env = nullptr;
    if (FAILED(Create(m_basecore, avcore::CLSID_AVEnv, avcore::IID_IAVEnv, &env))) {
        KIV_LOG("ERR:CVideoDevice CreateComponent IAVEnv failed.\n");
        ReleaseBaseCore();
        return false;
    }
    const HRESULT devHr =
        env->QueryInterface(avcore::IID_IAVDevManager, reinterpret_cast<void**>(&m_devmanager));
    env->Release();
    if (FAILED(devHr) || !m_devmanager) {
        m_devmanager = nullptr;
        KIV_LOG("QueryInterface IID_IAVDevManager Component failed.\n");
        ReleaseBaseCore();
        return false;
    }

    KIV_LOG("CreateBaseCore success. avcirever: %s, sdkver: %s", kFrameworkVersion, kSdkVersion);
    m_baseCoreInited = true;

    if (FAILED(m_devmanager->SetupRtspVideoPlugins(kRtspVideoPluginSlots)))
        KIV_LOG("Add rtsp video plugin to 64 failed!!!\n");
    LoadAvPlugins(pluginConfigPath);
    KIV_LOG("CreateBaseCore sucess");
    return true;
}

void CoreEnv::ReleaseBaseCore() {
    if (m_connection) m_connection->Logout();
    if (m_devmanager) {
        for (const AVPluginInfo& plugin : m_plugins) {
            if (plugin.videoPluginAdded) m_devmanager->RemoveVideoPlugin(plugin.videoPluginId);
        }
    }
    m_plugins.clear();
    ReleaseMember(m_devmanager);
    ReleaseMember(m_video_rendermanager);
    ReleaseMember(m_audiodevice);
    ReleaseMember(m_avnet);
    ReleaseMember(m_connection);
    ReleaseMember(m_configcenter);
    ReleaseMember(m_vnc_rendermanager);
    ReleaseMember(m_screenrecorder);
    if (m_sessionmanager) m_sessionmanager->Uninit();
    ModuleLogger& logger = CoreLogger();
    if (m_logcenter && logger.handle) m_logcenter->ReleaseLogger(logger.handle);
    // Logging stops here: the manager belongs to the centre released below.
    logger.handle = 0;
    logger.manager = nullptr;
    ReleaseMember(m_sessionmanager);
    ReleaseMember(m_logcenter);
    ReleaseMember(m_basecore);
    UnloadFramework();
    m_baseCoreInited = false;
}


}  // namespace kiv_core
