// The core's configuration, built by the facade's Init and copied into the core environment.
#pragma once

#include <cstdint>
#include <string>

#include "core/env/shared_flag.h"

namespace kiv_core {

class EngineEventHandler;
class IHttpClient;

struct EngineConfig {
  EngineEventHandler* eventHandler = nullptr;
  std::string appId;
  std::string workDir;
  // ';'-separated directories searched for the framework after the host program's.
  std::string frameworkDirs;
  // Empty: "AVPluginConfig.xml" in the "AVPlugins" folder of the host program's directory.
  std::string pluginConfigPath;
  std::string serverAddress;
  int32_t hwEncoderCount = 0;
  int32_t hwDecoderCount = 0;
  // Changed by the application's thread while framework threads read it.
  SharedFlag audioAutoRecv = true;
  bool audioAutoPlay = true;
  int32_t remoteVoiceMode = 0;
  IHttpClient* httpClient = nullptr;
};

}  // namespace kiv_core
