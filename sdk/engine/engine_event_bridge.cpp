// The core's reports turned into the application's events.
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

void KivEngineImpl::OnRemoteVideoEvent(const std::string& userId, const std::string& videoId,
                                       int state) {
    if (state == REMOTE_MEDIA_UNPUBLISHED) {
        auto* removal = new RemoteVideoRemoval{userId, videoId};
        if (!MsgWindow::Instance()->Post(WM_KIV_REMOTE_VIDEO_REMOVED,
                                         reinterpret_cast<WPARAM>(removal), 0)) {
            delete removal;
        }
    }
    IKivEngineEventHandler* handler = m_context.handler;
    if (handler) handler->OnRemoteVideoEvent(String(userId.c_str()), String(videoId.c_str()), state);
}

void KivEngineImpl::OnRemoteAudioEvent(const std::string& userId, const std::string& audioId,
                                       int state) {
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
    auto* copy = new std::function<void()>(task);
    if (!MsgWindow::Instance()->Post(WM_KIV_RUN_TASK, reinterpret_cast<WPARAM>(copy), 0)) {
        delete copy;
    }
}

HWND KivEngineImpl::GetPreviewRenderWindow(HWND window) { return window; }

void KivEngineImpl::ReleasePreviewRenderWindow(HWND) {}

int KivEngineImpl::OnWndMsg(unsigned message, WPARAM wParam, LPARAM) {
    if (message == WM_KIV_REMOTE_VIDEO_REMOVED) {
        auto* removal = reinterpret_cast<RemoteVideoRemoval*>(wParam);
        if (removal) {
            m_core.SetRemoteVideoRender(removal->userId, removal->videoId, nullptr,
                                        RENDER_MODE_ASPECT_CROP);
            delete removal;
        }
    } else if (message == WM_KIV_RUN_TASK) {
        auto* task = reinterpret_cast<std::function<void()>*>(wParam);
        if (task) {
            if (*task) (*task)();
            delete task;
        }
    }
    return 0;
}

}  // namespace kiv
