// The core's reports turned into the application's events.
#include <functional>
#include <memory>

#include "common/win/posted_object.h"
#include "core/env/log_record.h"
#include "engine/kiv_engine_impl.h"
#include "engine/window/msg_window.h"

namespace kiv {

void KivEngineImpl::OnEvent(int eventType, int code) {
  KIV_LOG("onevent %d, handler:%d", eventType, AppHandler() ? 1 : 0);
  // At most one connection-lost event per login.
  if (eventType == EVENT_CONNECTION_LOST && !m_loginPending.exchange(false)) return;
  CallAppHandler([&](IKivEngineEventHandler& handler) { handler.OnEvent(eventType, code); });
}

void KivEngineImpl::OnRemoteVideoEvent(const std::string& userId, const std::string& videoId, int state) {
  const RemoteVideoOrder::Video video{userId, videoId};
  const bool posted = m_videoOrder.QueueBehindPending(video) && PostVideoReport(video, state);
  if (state == REMOTE_MEDIA_UNPUBLISHED) PostVideoRemoval(video);
  if (!posted) DeliverVideoReport(video, state);
}

bool KivEngineImpl::PostVideoReport(const RemoteVideoOrder::Video& video, int state) {
  const bool posted =
      kiv_common::PostOwned(std::make_unique<std::function<void()>>([this, video, state] {
                              m_videoOrder.Done(video);
                              DeliverVideoReport(video, state);
                            }),
                            [](WPARAM task) { return MsgWindow::Instance()->Post(WM_KIV_RUN_TASK, task, 0); });
  if (!posted) m_videoOrder.Done(video);
  return posted;
}

void KivEngineImpl::PostVideoRemoval(const RemoteVideoOrder::Video& video) {
  m_videoOrder.Posted(video);
  const bool posted = kiv_common::PostOwned(
      std::make_unique<RemoteVideoRemoval>(RemoteVideoRemoval{video.first, video.second}),
      [](WPARAM removal) { return MsgWindow::Instance()->Post(WM_KIV_REMOTE_VIDEO_REMOVED, removal, 0); });
  if (!posted) m_videoOrder.Done(video);
}

void KivEngineImpl::DeliverVideoReport(const RemoteVideoOrder::Video& video, int state) {
  const String userId(video.first.c_str());
  const String videoId(video.second.c_str());
  CallAppHandler([&](IKivEngineEventHandler& handler) { handler.OnRemoteVideoEvent(userId, videoId, state); });
}

void KivEngineImpl::OnRemoteAudioEvent(const std::string& userId, const std::string& audioId, int state) {
  const String user(userId.c_str());
  const String audio(audioId.c_str());
  CallAppHandler([&](IKivEngineEventHandler& handler) { handler.OnRemoteAudioEvent(user, audio, state); });
}

void KivEngineImpl::OnRemoteControl(const std::string& userId, int operation) {
  const String user(userId.c_str());
  CallAppHandler([&](IKivEngineEventHandler& handler) { handler.OnRemoteControlEvent(user, operation); });
}

void KivEngineImpl::OnGroupListSync(const avcore::FwVector<avcore::FwString>& userIds) {
  Vector<String> ids;
  for (const avcore::FwString& id : userIds) ids.push_back(String(id.c_str()));
  CallAppHandler([&](IKivEngineEventHandler& handler) { handler.OnGroupUsersRefreshed(ids); });
}

void KivEngineImpl::OnRemoteUserJoined(const char* userId) {
  CallAppHandler([&](IKivEngineEventHandler& handler) { handler.OnRemoteUserEvent(userId, 0); });
}

void KivEngineImpl::OnRemoteUserLeft(const char* userId) {
  CallAppHandler([&](IKivEngineEventHandler& handler) { handler.OnRemoteUserEvent(userId, 1); });
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
      m_videoOrder.Done({removal->userId, removal->videoId});
    }
  } else if (message == WM_KIV_RUN_TASK) {
    const auto task = kiv_common::TakePosted<std::function<void()>>(wParam);
    if (task && *task) (*task)();
  }
  return 0;
}

}  // namespace kiv
