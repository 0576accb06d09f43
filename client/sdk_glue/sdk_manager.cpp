#include "sdk_glue/sdk_manager.h"

#include <ctime>
#include <memory>
#include <vector>

#include "config/access_token.h"
#include "config/app_config.h"
#include "config/launch_arguments.h"
#include "sdk_glue/sdk_messages.h"
#include "text_codec.h"

using namespace DuiLib;

CSdkManager& CSdkManager::GetInstance() {
  static CSdkManager instance;
  return instance;
}

CSdkManager::CSdkManager() { EnsureMessageWindow(); }

void CSdkManager::EnsureMessageWindow() {
  if (m_hWnd && ::IsWindow(m_hWnd)) return;
  Create(nullptr, L"CSdkManagerMsgWnd", UI_WNDSTYLE_FRAME, 0, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
         CW_USEDEFAULT);
  ShowWindow(false);
  m_hMsgWnd = m_hWnd;
}

CSdkManager::~CSdkManager() {
  if (m_hWnd && ::IsWindow(m_hWnd)) DuiLib::TimerClock().KillTimer(m_hWnd, TIMER_USER_STATUS_REFRESH);
  Shutdown();
}

bool CSdkManager::Init(LPCWSTR commandLine) {
  EnsureMessageWindow();
  m_pEngine = KivGetEngine();
  if (!m_pEngine) return false;
  LaunchArguments args =
      ParseLaunchArguments(WideToAnsi(commandLine ? commandLine : L""), static_cast<uint32_t>(std::time(nullptr)));
  m_session.launchUserId = args.userId;
  m_session.launchGroupId = args.groupId;

  const AppConfig& config = AppConfig::Instance();
  m_context.handler = this;
  m_context.appId = config.EffectiveAppId().c_str();
  m_context.workDir = "./";
  m_context.serverAddress = config.EffectiveServerAddr().c_str();
  if (m_pEngine->Init(&m_context) != kiv_core::ERR_OK) return false;

  kiv::IDeviceManager* devices = m_pEngine->GetDeviceManager();
  kiv::IAudioEngine* audio = m_pEngine->GetAudioEngine();
  if (devices) {
    // The first microphone listed is the one used until the user picks another.
    kiv::Vector<kiv::DeviceInfo> microphones = devices->GetMicrophoneDevices();
    m_session.micIndex = microphones.empty() ? -1 : 0;
  }
  if (audio) audio->SetAudioParam(kiv::AUDIOPARAM_MIC_VOLUME, m_session.micVolume);
  if (devices) {
    kiv::Vector<kiv::DeviceInfo> speakers = devices->GetSpeakerDevices();
    m_session.speakerIndex = speakers.size() - 1;
  }
  if (audio) audio->SetAudioParam(kiv::AUDIOPARAM_SPEAKER_VOLUME, m_session.speakerVolume);

  m_pSignaling = m_pEngine->GetSignaling();
  if (m_pSignaling) m_pSignaling->AddEventHandler(this);
  if (m_hWnd) DuiLib::TimerClock().SetTimer(m_hWnd, TIMER_USER_STATUS_REFRESH, kUserStatusRefreshMs);
  return true;
}

IMeetingWindows* CSdkManager::Windows() {
  if (!m_pWindows && m_windowsFactory) m_pWindows = m_windowsFactory();
  return m_pWindows.get();
}

std::wstring CSdkManager::StartFailure() {
  IMeetingWindows* windows = Windows();
  return windows ? windows->CreateFailure() : L"没有窗口";
}

bool CSdkManager::Start() {
  IMeetingWindows* windows = Windows();
  if (!windows || !windows->Create()) return false;
  m_hMainWnd = windows->MainHandle();
  if (Login(AnsiToWide(m_session.launchUserId).c_str()) != kiv_core::ERR_OK) windows->ShowMessage(L"登陆失败");
  windows->Hide();
  return true;
}

int CSdkManager::Login(LPCWSTR userId) {
  m_session.userId = WideToUtf8(userId ? userId : L"");
  if (!m_pEngine) return kiv_core::ERR_INVALID_STATE;
  const AppConfig& config = AppConfig::Instance();
  TokenInfo info;
  info.aid = config.EffectiveAppId();
  info.uid = m_session.userId;
  info.et = 0;
  info.key = config.EffectiveAppSecret();
  info.version = kTokenVersion;
  kiv::String token(BuildAccessToken(info).c_str());
  return m_pEngine->Login(token.c_str(), m_session.userId.c_str(), true, "");
}

int CSdkManager::JoinGroup(LPCWSTR groupId) {
  m_session.groupId = WideToUtf8(groupId ? groupId : L"");
  m_session.publishedVideoIds.clear();
  if (!m_pEngine) return kiv_core::ERR_INVALID_STATE;
  return m_pEngine->JoinGroup(m_session.groupId.c_str());
}

int CSdkManager::StartPublishVideo(const char* videoId, int cameraIndex) {
  m_session.publishedVideoIds.insert(videoId ? videoId : "");
  if (!m_pEngine) return kiv_core::ERR_INVALID_STATE;
  return m_pEngine->StartPublishVideo(videoId, cameraIndex);
}

int CSdkManager::StopPublishVideo(const char* videoId) {
  m_session.publishedVideoIds.erase(videoId ? videoId : "");
  if (!m_pEngine) return kiv_core::ERR_INVALID_STATE;
  return m_pEngine->StopPublishVideo(videoId);
}

void CSdkManager::Shutdown() {
  // The message loop may have ended: close windows directly, not by posted messages.
  m_hMsgWnd = nullptr;
  if (m_hWnd && ::IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
  m_hMainWnd = nullptr;
  if (m_pWindows) {
    m_pWindows->Destroy();
    m_pWindows.reset();
  }
  if (m_pEngine) {
    m_pSignaling = nullptr;
    m_pEngine = nullptr;
    KivReleaseEngine();
  }
  // A later Init starts from the defaults, as in a new process.
  m_session = Session{};
  std::lock_guard<std::mutex> lock(m_onlineUsersLock);
  m_onlineUsers.clear();
}

void CSdkManager::OnInfoWndGone(CInfoWnd* wnd) {
  if (m_pWindows) m_pWindows->OnInfoWndGone(wnd);
}

std::wstring CSdkManager::GetErrorText(int code) {
  switch (code) {
    case kiv_core::ERR_CONNECT_SERVER_FAILED:
      return L"连接服务器失败！";
    case kiv_core::ERR_AUTH_FAILED:
      return L"认证失败！";
    case kiv_core::ERR_APP_NOT_EXIST:
      return L"应用不存在！";
    case kiv_core::ERR_USER_ALREADY_LOGINED:
      return L"用户已登录！";
    case kiv_core::ERR_BALANCE_INSUFFICIENT:
      return L"账户余额不足！";
    default:
      return L"未知错误:" + std::to_wstring(code);
  }
}

HWND CSdkManager::LiveMainWindow() const {
  HWND main = m_hMainWnd.load();
  return (main && ::IsWindow(main)) ? main : nullptr;
}

LRESULT CSdkManager::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  if (uMsg == WM_TIMER) {
    if (wParam == TIMER_USER_STATUS_REFRESH && m_pSignaling) {
      kiv::Vector<kiv::String> everyone;
      unsigned requestId = 0;
      m_pSignaling->UserStatusRefresh(everyone, &requestId);
    }
    return 0;
  }
  return WindowImplBase::HandleMessage(uMsg, wParam, lParam);
}

LRESULT CSdkManager::HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
  bHandled = TRUE;
  switch (uMsg) {
    case WM_SDK_EVENT:
      OnSdkEvent(static_cast<int>(wParam), static_cast<int>(lParam));
      return 0;
    case WM_SDK_USERLIST_READY:  // the online users are stored already
      return 0;
    case WM_SDK_INVITE_RECEIVED:
      (void)kiv_common::TakePosted<InviteRecord>(wParam);  // not shown: dropped
      return 0;
    case WM_SDK_INVITE_ANSWER: {
      auto record = kiv_common::TakePosted<InviteAnswerRecord>(wParam);
      if (m_pWindows && record) m_pWindows->ShowInviteAnswer(*record);
      return 0;
    }
    case WM_SDK_GROUP_USERS: {
      auto record = kiv_common::TakePosted<GroupUsersRecord>(wParam);
      if (m_pWindows && record) m_pWindows->SyncUsers(record->userIds);
      return 0;
    }
    default:
      bHandled = FALSE;
      return 0;
  }
}

void CSdkManager::OnSdkEvent(int eventType, int code) {
  switch (eventType) {
    case kiv::EVENT_LOGIN_RESULT: {
      if (code != kiv_core::ERR_OK) {
        m_session.logined = false;
        // A refused login (wrong secret, unknown application, ...) would otherwise leave
        // the user with no window and no word.
        if (IMeetingWindows* windows = Windows()) windows->ShowMessage(L"登陆失败");
        return;
      }
      m_session.logined = true;
      if (m_pSignaling) {
        kiv::Vector<kiv::String> everyone;
        unsigned requestId = 0;
        m_pSignaling->UserStatusRefresh(everyone, &requestId);
      }
      const std::wstring group = AnsiToWide(m_session.launchGroupId);
      int result = JoinGroup(group.c_str());
      if (result != kiv_core::ERR_OK) {
        ::MessageBoxW(nullptr, L"加入组失败", L"Kalmirra", MB_OK);
        ::MessageBoxW(nullptr, group.c_str(), L"Kalmirra", MB_OK);
        if (m_pWindows) m_pWindows->ShowJoinFailed(GetErrorText(result));
      }
      return;
    }
    case kiv::EVENT_JOIN_GROUP_RESULT: {
      if (code == kiv_core::ERR_OK && m_pWindows) m_pWindows->ShowJoined(m_session.groupId);
      return;
    }
    case kiv::EVENT_CONNECTION_LOST:
      // The SDK leaves and logs out by itself; the window only drops its media.
      if (m_pWindows) m_pWindows->ShowConnectionLost();
      return;
    default:
      return;
  }
}

std::vector<std::string> CSdkManager::OnlineUserIds() {
  std::vector<std::string> ids;
  std::lock_guard<std::mutex> lock(m_onlineUsersLock);
  for (const OnlineUser& user : m_onlineUsers) {
    if (user.status == 1 && user.userId != m_session.userId) ids.push_back(user.userId);
  }
  return ids;
}

// ---- engine callbacks (SDK threads): copy and post ----

void CSdkManager::OnDeviceChange(int /*changeCode*/) {
  HWND main = m_hMainWnd.load();
  if (main) ::PostMessageW(main, WM_SDK_DEVICE_CHANGED, 0, 0);
}

void CSdkManager::OnEvent(int eventType, int code) {
  HWND hidden = m_hMsgWnd.load();
  if (hidden) ::PostMessageW(hidden, WM_SDK_EVENT, static_cast<WPARAM>(eventType), static_cast<LPARAM>(code));
}

void CSdkManager::OnRemoteVideoEvent(const kiv::String& userId, const kiv::String& videoId, int state) {
  UINT message;
  if (state == kiv::REMOTE_MEDIA_PUBLISHED) {
    message = WM_SDK_REMOTE_VIDEO_ADDED;
  } else if (state == kiv::REMOTE_MEDIA_UNPUBLISHED) {
    message = WM_SDK_REMOTE_VIDEO_REMOVED;
  } else {
    return;
  }
  PostRecord(m_hMainWnd.load(), message,
             new RemoteVideoRecord{kiv::String(userId.c_str()), kiv::String(videoId.c_str())});
}

void CSdkManager::OnRemoteAudioEvent(const kiv::String& userId, const kiv::String& /*audioId*/, int state) {
  HWND main = LiveMainWindow();
  if (!main) return;
  if (state == kiv::REMOTE_MEDIA_PUBLISHED) {
    PostRecord(main, WM_SDK_REMOTE_AUDIO_ADDED, new RemoteAudioRecord{kiv::String(userId.c_str())});
  } else if (state == kiv::REMOTE_MEDIA_UNPUBLISHED) {
    PostRecord(main, WM_SDK_REMOTE_AUDIO_REMOVED, new RemoteAudioRecord{kiv::String(userId.c_str())});
  }
}

void CSdkManager::OnRemoteControlEvent(const kiv::String& userId, int operation) {
  PostRecord(m_hMainWnd.load(), WM_SDK_REMOTE_CONTROL, new RemoteControlRecord{kiv::String(userId.c_str()), operation});
}

void CSdkManager::OnGroupUsersRefreshed(const kiv::Vector<kiv::String>& userIds) {
  // The lists are window controls: rebuild them on the user-interface thread.
  auto* record = new GroupUsersRecord;
  for (const kiv::String& id : userIds) record->userIds.emplace_back(id.c_str());
  PostRecord(m_hMsgWnd.load(), WM_SDK_GROUP_USERS, record);
}

void CSdkManager::OnRemoteUserEvent(const char* userId, int state) {
  HWND main = LiveMainWindow();
  if (!main) return;
  if (state == 0) {
    PostRecord(main, WM_SDK_USER_JOINED, new UserRecord{userId ? userId : ""});
  } else if (state == 1) {
    PostRecord(main, WM_SDK_USER_LEFT, new UserRecord{userId ? userId : ""});
  }
}

// ---- signaling callbacks ----

void CSdkManager::OnUsersStateRefreshed(int /*result*/, unsigned /*requestId*/, kiv::Vector<kiv::UserStatus> statuses) {
  {
    // Own copies: kiv::String reference counts are not shared across threads.
    std::vector<OnlineUser> users;
    for (const kiv::UserStatus& status : statuses) users.push_back(OnlineUser{status.userId.c_str(), status.status});
    std::lock_guard<std::mutex> lock(m_onlineUsersLock);
    m_onlineUsers.swap(users);
  }
  HWND hidden = m_hMsgWnd.load();
  if (hidden) ::PostMessageW(hidden, WM_SDK_USERLIST_READY, 0, 0);
}

void CSdkManager::OnUserStateChanged(const kiv::UserStatus& /*status*/) {}

void CSdkManager::OnInviteReceived(const char* inviterId, int inviteId, const char* groupId, const char* message) {
  PostRecord(m_hMsgWnd.load(), WM_SDK_INVITE_RECEIVED,
             new InviteRecord{inviterId ? inviterId : "", groupId ? groupId : "", message ? message : "", inviteId});
}

void CSdkManager::OnInviteAccepted(const char* userId, int inviteId) {
  PostRecord(m_hMsgWnd.load(), WM_SDK_INVITE_ANSWER, new InviteAnswerRecord{userId ? userId : "", inviteId, true});
}

void CSdkManager::OnInviteRefused(const char* userId, int inviteId) {
  PostRecord(m_hMsgWnd.load(), WM_SDK_INVITE_ANSWER, new InviteAnswerRecord{userId ? userId : "", inviteId, false});
}

void CSdkManager::OnUserMsgReceived(const char* senderId, unsigned /*messageId*/, const char* text) {
  PostChatMessage(m_hMainWnd.load(), senderId, text, 0);
}

void CSdkManager::OnGroupMsgReceived(const char* senderId, unsigned /*messageId*/, const char* text) {
  PostChatMessage(m_hMainWnd.load(), senderId, text, 1);
}
