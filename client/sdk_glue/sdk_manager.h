// The client's bridge to kiv_sdk: obtains and initialises the engine, logs in with the
// access token, joins the group of the command line, keeps the media state the windows
// share, and turns every SDK event into a window message for the user-interface thread.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "kiv_sdk.h"
#include "sdk_glue/meeting_windows.h"
#include "winlib/ui_lib.h"

// The screen-share rectangle and quality choice of the settings window.
struct ScreenShareSettings {
  int bias = 0;
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

constexpr UINT_PTR TIMER_USER_STATUS_REFRESH = 1;
constexpr UINT kUserStatusRefreshMs = 5000;

class CSdkManager : public kiv::IKivEngineEventHandler,
                    public kiv::IKivSignalingEventHandler,
                    public DuiLib::WindowImplBase {
 public:
  static CSdkManager& GetInstance();

  CSdkManager();
  ~CSdkManager() override;

  // Makes the windows Start shows; the program and the window tests set it before Start.
  using WindowsFactory = std::unique_ptr<IMeetingWindows> (*)();
  void SetWindowsFactory(WindowsFactory factory) { m_windowsFactory = factory; }

  // Obtains and initialises the engine from the command line and "appinfo.xml".
  bool Init(LPCWSTR commandLine);
  // Creates the main and information windows and logs in; false when either window
  // cannot be made or no factory is set (StartFailure says why).
  bool Start();
  std::wstring StartFailure();
  int Login(LPCWSTR userId);
  int JoinGroup(LPCWSTR groupId);
  int StartPublishVideo(const char* videoId, int cameraIndex);
  int StopPublishVideo(const char* videoId);
  // Closes the windows, releases the engine and forgets the session (user, group, media
  // choices); safe to call more than once.
  void Shutdown();
  static std::wstring GetErrorText(int code);

  kiv::IKivEngine* GetEngine() const { return m_pEngine; }
  kiv::IKivSignaling* GetSignaling() const { return m_pSignaling; }
  CMeetingMainWnd* GetMainWnd() const { return m_pWindows ? m_pWindows->MainWnd() : nullptr; }
  CInfoWnd* GetInfoWnd() const { return m_pWindows ? m_pWindows->InfoWnd() : nullptr; }
  void OnInfoWndGone(CInfoWnd* wnd);
  bool IsLogined() const { return m_session.logined; }
  const std::string& GetUserId() const { return m_session.userId; }
  const std::string& GetGroupId() const { return m_session.groupId; }
  void ClearGroupId() { m_session.groupId.clear(); }
  const std::string& GetLaunchUserId() const { return m_session.launchUserId; }
  const std::string& GetLaunchGroupId() const { return m_session.launchGroupId; }
  int& MicVolume() { return m_session.micVolume; }
  int& MicIndex() { return m_session.micIndex; }
  int& SpeakerVolume() { return m_session.speakerVolume; }
  int& SpeakerIndex() { return m_session.speakerIndex; }
  int& ResolutionIndex() { return m_session.resolutionIndex; }
  int& FrameRate() { return m_session.frameRate; }
  const std::set<std::string>& PublishedVideoIds() const { return m_session.publishedVideoIds; }
  ScreenShareSettings& ScreenShare() { return m_session.screenShare; }
  // Ids of the users the last online refresh reported online (UTF-8), without this user.
  std::vector<std::string> OnlineUserIds();
  const kiv::String& ChatTarget() const { return m_session.chatTarget; }
  void SetChatTarget(const char* target) { m_session.chatTarget = target; }

  // kiv::IKivEngineEventHandler
  void OnDeviceChange(int changeCode) override;
  void OnEvent(int eventType, int code) override;
  void OnRemoteVideoEvent(const kiv::String& userId, const kiv::String& videoId, int state) override;
  void OnRemoteAudioEvent(const kiv::String& userId, const kiv::String& audioId, int state) override;
  void OnRemoteControlEvent(const kiv::String& userId, int operation) override;
  void OnGroupUsersRefreshed(const kiv::Vector<kiv::String>& userIds) override;
  void OnRemoteUserEvent(const char* userId, int state) override;

  // kiv::IKivSignalingEventHandler
  void OnUsersStateRefreshed(int result, unsigned requestId, kiv::Vector<kiv::UserStatus> statuses) override;
  void OnUserStateChanged(const kiv::UserStatus& status) override;
  void OnInviteReceived(const char* inviterId, int inviteId, const char* groupId, const char* message) override;
  void OnInviteAccepted(const char* userId, int inviteId) override;
  void OnInviteRefused(const char* userId, int inviteId) override;
  void OnUserMsgReceived(const char* senderId, unsigned messageId, const char* text) override;
  void OnGroupMsgReceived(const char* senderId, unsigned messageId, const char* text) override;

  // The hidden window.
  LPCTSTR GetWindowClassName() const override { return L"CSdkManagerMsgWnd"; }
  LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
  LRESULT HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;

 protected:
  DuiLib::CDuiString GetSkinFolder() override { return L"skin"; }
  DuiLib::CDuiString GetSkinFile() override { return L"emptywnd.xml"; }

 private:
  // The hidden window exists from construction; after Shutdown, Init makes it again.
  void EnsureMessageWindow();
  void OnSdkEvent(int eventType, int code);
  // The main window while it exists as a window, else null.
  HWND LiveMainWindow() const;
  // The windows object, made by the factory on first use; null without a factory.
  IMeetingWindows* Windows();

  WindowsFactory m_windowsFactory = nullptr;
  std::unique_ptr<IMeetingWindows> m_pWindows;
  // Window handles for SDK threads, which must not touch the window objects.
  std::atomic<HWND> m_hMainWnd{nullptr};
  std::atomic<HWND> m_hMsgWnd{nullptr};
  kiv::IKivEngine* m_pEngine = nullptr;
  kiv::IKivSignaling* m_pSignaling = nullptr;
  kiv::EngineContext m_context;
  // What one run of the engine chose and learned; Shutdown puts these defaults back.
  struct Session {
    bool logined = false;
    std::string groupId;  // UTF-8
    std::string userId;   // UTF-8
    int micVolume = 50;
    int micIndex = -1;
    int speakerVolume = 50;
    int speakerIndex = -1;
    int resolutionIndex = 0;
    int frameRate = 15;
    std::set<std::string> publishedVideoIds;
    ScreenShareSettings screenShare;
    kiv::String chatTarget{"所有人"};
    std::string launchUserId;   // ANSI
    std::string launchGroupId;  // ANSI
  };
  Session m_session;
  std::mutex m_onlineUsersLock;  // the signaling callback replaces the array on an SDK thread
  struct OnlineUser {
    std::string userId;  // UTF-8
    int status = 0;
  };
  std::vector<OnlineUser> m_onlineUsers;
};
