// The record an application gives to IKivEngine::Init.
#pragma once

#include "kiv_string.h"

namespace kiv {

class IKivEngineEventHandler;

struct EngineContext {
  // Must not be null; kept alive by the application until KivReleaseEngine.
  IKivEngineEventHandler* handler = nullptr;
  // Letters and digits only, not empty.
  String appId;
  // The framework's "log" folder lies under it; empty: the process's current directory.
  String workDir = "./";
  // Empty: "AVPluginConfig.xml" in the "AVPlugins" folder of the host program's directory.
  String pluginConfigPath;
  // Host and port joined by a colon; empty is accepted.
  String serverAddress;
  // Subscribe remote audio automatically when it is announced.
  bool autoReceiveAudio = true;
  // 0 no choice; 1 the plain microphone stream; 2 the voice-variant stream.
  int remoteVoiceMode = 0;
};

static_assert(sizeof(void*) != 4 || sizeof(EngineContext) == 28, "kiv::EngineContext layout");

}  // namespace kiv
