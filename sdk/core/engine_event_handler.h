// How the core reports to the engine facade, which implements this interface.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "avcore/fw_string.h"

namespace kiv_core {

class EngineEventHandler {
 public:
  virtual ~EngineEventHandler() = default;
  // Types: 0 join result, 1 connection lost, 3 login result, 4 leave result.
  virtual void OnEvent(int eventType, int code) = 0;
  // States: 0 published, 1 unpublished, 2 raised by the render or the viewer.
  virtual void OnRemoteVideoEvent(const std::string& userId, const std::string& videoId, int state) = 0;
  virtual void OnRemoteAudioEvent(const std::string& userId, const std::string& audioId, int state) = 0;
  virtual void OnRemoteControl(const std::string& userId, int operation) = 0;
  // The group's user ids as they came with the group media list.
  virtual void OnGroupListSync(const avcore::FwVector<avcore::FwString>& userIds) = 0;
  virtual void OnRemoteUserJoined(const char* userId) = 0;
  virtual void OnRemoteUserLeft(const char* userId) = 0;
  // Reserved report; the engine ignores it.
  virtual void OnCoreNotice(int first, int second) = 0;
  // Runs the task later on the thread that called Init.
  virtual void PostTask(const std::function<void()>& task) = 0;
  // The window a local preview is rendered into.
  virtual HWND GetPreviewRenderWindow(HWND window) = 0;
  virtual void ReleasePreviewRenderWindow(HWND window) = 0;
};

}  // namespace kiv_core
