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
#include "winlib/ui_lib.h"

class CMeetingMainWnd;
class CInfoWnd;

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
// After a lost connection: log in again every few seconds until the server answers.
constexpr UINT_PTR TIMER_RECONNECT = 2;
constexpr UINT kReconnectMs = 3000;

class CSdkManager : public kiv::IKivEngineEventHandler,
                    public kiv::IKivSignalingEventHandler,
                    public DuiLib::WindowImplBase {
 public:
  static CSdkManager& GetInstance();

  CSdkManager();
  ~CSdkManager() override;

  // Obtains and initialises the engine from the command line and "appinfo.xml".
  bool Init(LPCWSTR commandLine);
  // Creates the main and information windows and logs in; false when the main window
  // cannot be made (nothing would be left to end the message loop).
  bool Start();
  int Login(LPCWSTR userId);
  int JoinGroup(LPCWSTR groupId);
  int StartPublishVideo(const char* videoId, int cameraIndex);
  int StopPublishVideo(const char* videoId);
  // Closes the windows and releases the engine; safe to call more than once.
  void Shutdown();
  static std::wstring GetErrorText(int code);

  kiv::IKivEngine* GetEngine() const { return m_pEngine; }
  kiv::IKivSignaling* GetSignaling() const { return m_pSignaling; }
  CMeetingMainWnd* GetMainWnd() const { return m_pMainWnd.get(); }
  CInfoWnd* GetInfoWnd() const { return m_pInfoWnd; }
  void OnInfoWndGone(CInfoWnd* wnd);
  bool IsLogined() const { return m_bLogined; }
  const std::string& GetUserId() const { return m_userId; }
  const std::string& GetGroupId() const { return m_groupId; }
  void ClearGroupId() { m_groupId.clear(); }
  const std::string& GetLaunchUserId() const { return m_launchUserId; }
  const std::string& GetLaunchGroupId() const { return m_launchGroupId; }
  int& MicVolume() { return m_micVolume; }
  int& MicIndex() { return m_micIndex; }
  int& SpeakerVolume() { return m_speakerVolume; }
  int& SpeakerIndex() { return m_speakerIndex; }
  int& ResolutionIndex() { return m_resolutionIndex; }
  int& FrameRate() { return m_frameRate; }
  const std::set<std::string>& PublishedVideoIds() const { return m_publishedVideoIds; }
  ScreenShareSettings& ScreenShare() { return m_screenShare; }
  // Ids of the users the last online refresh reported online (UTF-8), without this user.
  std::vector<std::string> OnlineUserIds();
  const kiv::String& ChatTarget() const { return m_chatTarget; }
  void SetChatTarget(const char* target) { m_chatTarget = target; }

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
  void OnConnectionLost();
  void TryReconnect();
  // The main window while it exists as a window, else null.
  HWND LiveMainWindow() const;

  std::unique_ptr<CMeetingMainWnd> m_pMainWnd;
  // Window handles for SDK threads, which must not touch the window objects.
  std::atomic<HWND> m_hMainWnd{nullptr};
  std::atomic<HWND> m_hMsgWnd{nullptr};
  CInfoWnd* m_pInfoWnd = nullptr;
  bool m_bLogined = false;
  kiv::IKivEngine* m_pEngine = nullptr;
  kiv::IKivSignaling* m_pSignaling = nullptr;
  kiv::EngineContext m_context;
  std::string m_groupId;  // UTF-8
  std::string m_userId;   // UTF-8
  int m_micVolume = 50;
  int m_micIndex = -1;
  int m_speakerVolume = 50;
  int m_speakerIndex = -1;
  int m_resolutionIndex = 0;
  int m_frameRate = 15;
  std::set<std::string> m_publishedVideoIds;
  ScreenShareSettings m_screenShare;
  std::mutex m_onlineUsersLock;  // the signaling callback replaces the array on an SDK thread
  struct OnlineUser {
    std::string userId;  // UTF-8
    int status = 0;
  };
  std::vector<OnlineUser> m_onlineUsers;
  bool m_bReconnecting = false;
  kiv::String m_chatTarget;
  std::string m_launchUserId;   // ANSI
  std::string m_launchGroupId;  // ANSI
};
