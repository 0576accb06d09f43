// The process-wide holder of what the SDK obtains from the media framework and of the
// engine's configuration. Written only at start-up and teardown; read from every thread.
#pragma once

#include <string>
#include <vector>

#include "avcore/audio_device.h"
#include "avcore/av_net.h"
#include "avcore/base_core.h"
#include "avcore/config_center.h"
#include "avcore/connection.h"
#include "avcore/dev_manager.h"
#include "avcore/log.h"
#include "avcore/recording.h"
#include "avcore/render.h"
#include "avcore/session_manager.h"
#include "common/win/com_ref.h"
#include "core/env/engine_config.h"

namespace kiv_core {

class KivCpClient;

// One entry of the plug-in list; texts as UTF-16 in fixed fields ("" when they did not fit).
struct AVPluginInfo {
  wchar_t pluginName[64] = {};
  int32_t enableAudio = 0;
  wchar_t audioDevName[64] = {};
  int32_t enableVideo = 0;
  wchar_t videoDevName[64] = {};
  wchar_t configFile[260] = {};
  int32_t videoPluginId = 0;
  std::string streamUrl;
  // Set once the framework took the plug-in: only such ids are removed at teardown.
  bool videoPluginAdded = false;
};

class CoreEnv {
 public:
  // Publishes this object as the process-wide instance.
  CoreEnv();
  ~CoreEnv();
  CoreEnv(const CoreEnv&) = delete;
  CoreEnv& operator=(const CoreEnv&) = delete;

  // Null before the core engine made one and after it was destroyed.
  static CoreEnv* Instance();
  // True only between a complete CreateBaseCore and the next ReleaseBaseCore.
  static bool IsBaseCoreInited();
  // Gives back a reference to a framework object. Once the framework was released its
  // objects are gone with it: the reference is then only dropped.
  template <typename T>
  static void ReleaseFrameworkRef(kiv_common::ComRef<T>& ref) {
    if (IsBaseCoreInited()) {
      ref.Reset();
    } else {
      (void)ref.Detach();
    }
  }
  // A connection is held and its status is CPSTATUS_CONNECTED or later.
  static bool IsConnected();
  // A connection is held and its status is exactly CPSTATUS_LOGINED.
  static bool IsLogined();

  // Loads the framework and brings its components up in a fixed order; on any failure
  // everything is rolled back and false returned.
  bool CreateBaseCore(const std::string& frameworkDirs, const std::string& workDir,
                      const std::string& pluginConfigPath);
  // Releases everything in a fixed order and unloads the framework; safe to call again.
  void ReleaseBaseCore();
  // The plug-in list (empty path: "AVPlugins\\AVPluginConfig.xml" beside the host program)
  // and its RTSP video plug-ins; failures only log.
  void LoadAvPlugins(const std::string& pluginConfigPath);
  void CreatePlugins(const std::string& pluginConfigPath);
  bool ReadPluginConfig(const std::string& pluginConfigPath);
  void CreateRtspPlugin(AVPluginInfo& plugin);

  // Every interface member owns one reference and is null when absent.
  kiv_common::ComRef<avcore::IBaseCore> m_basecore;
  kiv_common::ComRef<avcore::IAudioDevice> m_audiodevice;
  kiv_common::ComRef<avcore::IVideoRenderManager> m_video_rendermanager;
  kiv_common::ComRef<avcore::IKivConnection> m_connection;
  kiv_common::ComRef<avcore::IAvNet> m_avnet;
  kiv_common::ComRef<avcore::IVncRenderManager> m_vnc_rendermanager;
  kiv_common::ComRef<avcore::IAVDevManager> m_devmanager;
  kiv_common::ComRef<avcore::ISessionManager> m_sessionmanager;
  // The plug-in configuration path stays empty here.
  EngineConfig m_config;
  // The core engine's, which sets and uses it; not owned.
  KivCpClient* m_cpclient = nullptr;
  kiv_common::ComRef<avcore::IConfigCenter> m_configcenter;
  // Held only for a moment during the bring-up.
  kiv_common::ComRef<avcore::IScreenRecorder> m_screenrecorder;
  // Cleared by the engine's remote-control operation 4.
  bool m_remoteControl = true;
  bool m_baseCoreInited = false;
  kiv_common::ComRef<avcore::ILogCenter> m_logcenter;
  std::vector<AVPluginInfo> m_plugins;

 private:
  // The core's own logger; without one the log centre is given back.
  void StartCoreLogger();
  void WriteConfigKeys();
};

}  // namespace kiv_core
