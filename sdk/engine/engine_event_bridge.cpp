// The core's reports turned into the application's events.
#include <functional>
#include <memory>

#include "common/win/posted_object.h"
#include "core/env/log_record.h"
#include "engine/kiv_engine_impl.h"
#include "engine/window/msg_window.h"

namespace kiv {

void KivEngineImpl::OnEvent(int eventType, int code) {
  IKivEngineEventHandler* handler = m_context.handler;
  KIV_LOG("onevent %d, handler:%d", eventType, handler ? 1 : 0);
  if (!handler) return;
  if (eventType != EVENT_CONNECTION_LOST) {
    handler->OnEvent(eventType, code);
    return;
  }
  // At most one connection-lost event per login.
  if (m_loginPending.exchange(false)) handler->OnEvent(eventType, code);
}

void KivEngineImpl::OnRemoteVideoEvent(const std::string& userId, const std::string& videoId, int state) {
  if (state == REMOTE_MEDIA_UNPUBLISHED) {
    (void)kiv_common::PostOwned(
        std::make_unique<RemoteVideoRemoval>(RemoteVideoRemoval{userId, videoId}),
        [](WPARAM removal) { return MsgWindow::Instance()->Post(WM_KIV_REMOTE_VIDEO_REMOVED, removal, 0); });
  }
  IKivEngineEventHandler* handler = m_context.handler;
  if (handler) handler->OnRemoteVideoEvent(String(userId.c_str()), String(videoId.c_str()), state);
}

void KivEngineImpl::OnRemoteAudioEvent(const std::string& userId, const std::string& audioId, int state) {
  IKivEngineEventHandler* handler = m_context.handler;
  if (handler) handler->OnRemoteAudioEvent(String(userId.c_str()), String(audioId.c_str()), state);
}

void KivEngineImpl::OnRemoteControl(const std::string& userId, int operation) {
  IKivEngineEventHandler* handler = m_context.handler;
  if (handler) handler->OnRemoteControlEvent(String(userId.c_str()), operation);
}

void KivEngineImpl::OnGroupListSync(const avcore::FwVector<avcore::FwString>& userIds) {
  IKivEngineEventHandler* handler = m_context.handler;
  if (!handler) return;
  Vector<String> ids;
  for (const avcore::FwString& id : userIds) ids.push_back(String(id.c_str()));
  handler->OnGroupUsersRefreshed(ids);
}

void KivEngineImpl::OnRemoteUserJoined(const char* userId) {
  IKivEngineEventHandler* handler = m_context.handler;
  if (handler) handler->OnRemoteUserEvent(userId, 0);
}

void KivEngineImpl::OnRemoteUserLeft(const char* userId) {
  IKivEngineEventHandler* handler = m_context.handler;
  if (handler) handler->OnRemoteUserEvent(userId, 1);
}

void KivEngineImpl::OnCoreNotice(int, int) {}

void KivEngineImpl::PostTask(const std::function<void()>& task) {
  (void)kiv_common::PostOwned(std::make_unique<std::function<void()>>(task),
                              [](WPARAM copy) { return MsgWindow::Instance()->Post(WM_KIV_RUN_TASK, copy, 0); });
}

HWND KivEngineImpl::GetPreviewRenderWindow(HWND window) { return window; }

void KivEngineImpl::ReleasePreviewRenderWindow(HWND) {}

int KivEngineImpl::OnWndMsg(unsigned message, WPARAM wParam, LPARAM) {
  if (message == WM_KIV_REMOTE_VIDEO_REMOVED) {
    const auto removal = kiv_common::TakePosted<RemoteVideoRemoval>(wParam);
    if (removal) {
      m_core.SetRemoteVideoRender(removal->userId, removal->videoId, nullptr, RENDER_MODE_ASPECT_CROP);
    }
  } else if (message == WM_KIV_RUN_TASK) {
    const auto task = kiv_common::TakePosted<std::function<void()>>(wParam);
    if (task && *task) (*task)();
  }
  return 0;
}

}  // namespace kiv
