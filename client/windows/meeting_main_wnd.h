// The meeting window: users of the group with their media icons, the chat, the video
// areas and the command buttons. Created hidden by the SDK manager, shown once the group
// is joined; destroying it ends the message loop.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "sdk_glue/sdk_messages.h"
#include "windows/speaker_setting_wnd.h"
#include "winlib/ui_lib.h"

class CSettingWnd;
class CVideoPanelLayoutUI;

constexpr UINT TIMER_VIDEO_INFO = 99;

class CMeetingMainWnd : public DuiLib::WindowImplBase {
 public:
  LPCTSTR GetWindowClassName() const override { return L"CDuiFrameWnd"; }
  void InitWindow() override;
  DuiLib::CControlUI* CreateControl(LPCTSTR pstrClass) override;
  LRESULT HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
  LRESULT OnDestroy(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
  void OnClick(DuiLib::TNotifyUI& msg) override;
  void OnTabSelect(DuiLib::TNotifyUI& msg);
  void OnChatInputFocus(DuiLib::TNotifyUI& msg);
  void OnChatInputKillFocus(DuiLib::TNotifyUI& msg);
  void OnChatTargetSelect(DuiLib::TNotifyUI& msg);
  void OnCameraMenuItem(DuiLib::TNotifyUI& msg);
  void ShowCameraMenu(DuiLib::TNotifyUI& msg);

  // User ids arrive as UTF-8.
  void SyncUserList(const std::vector<std::string>& userIds);
  void RefreshChatTargets(const std::vector<std::string>& userIds);
  void AddUserItem(const std::string& userId);
  void RemoveUserItem(const std::string& userId);
  void RemoveChatTarget(const std::string& userId);
  void SetUserMediaIcon(const std::string& userId, int mediaType, bool open);
  void AppendChatText(const std::wstring& text, bool system, const std::wstring& sender, const std::wstring& addressee);
  void ShowInviteAnswer(const InviteAnswerRecord& answer);
  void PostChatMessage(const char* sender, const char* text, int groupFlag);
  // Any thread: copies the message into a record posted to `window`.
  static void PostChatMessage(HWND window, const char* sender, const char* text, int groupFlag);
  void SetCameraButtonImages(bool on);
  void SetMicButtonImages(bool on);
  // After a lost connection: remote videos cleared, previews stopped, buttons "off".
  void ResetMediaState();
  // Every panel of both layouts: remote video cleared, local preview stopped.
  void ClearAllPanels();

  CVideoPanelLayoutUI* GetVideoLayout() const { return m_pVideoLayout; }
  CVideoPanelLayoutUI* GetScreenShareLayout() const { return m_pScreenShareLayout; }
  CSettingWnd* GetSettingWnd() const { return m_pSettingWnd; }
  bool IsMicPublishing() const { return m_bMicPublishing; }
  bool IsScreenSharing() const { return m_bScreenSharing; }
  bool IsRecording() const { return m_bRecording; }
  const std::set<int>& PublishedCameras() const { return m_publishedCameras; }

  DUI_DECLARE_MESSAGE_MAP()

 protected:
  DuiLib::CDuiString GetSkinFolder() override { return L"skin"; }
  DuiLib::CDuiString GetSkinFile() override { return L"meeting_main_wnd.xml"; }

 private:
  // Commands of the buttons.
  void ToggleMicrophone();
  void ToggleScreenShare();
  void ToggleRecording();
  void StartRecording();
  void StopRecording();
  void ShowSpeakerPopup(DuiLib::TNotifyUI& msg);
  void RunSettingsDialog();
  void ShowCallIn();
  void SendChatMessage();
  void CloseMeeting();
  void ShowInfoPanel(LPCTSTR title, LPCTSTR image);
  void StartCompanion();
  void OnRemoteVideoAdded(const RemoteVideoRecord& record);
  void OnRemoteVideoRemoved(const RemoteVideoRecord& record);
  void OnRemoteControl(const RemoteControlRecord& record);
  void SetButtonImagesOf(LPCTSTR button, LPCTSTR normal, LPCTSTR hot, LPCTSTR pushed);

  DuiLib::CWndShadow m_shadow;
  CSettingWnd* m_pSettingWnd = nullptr;  // the settings dialog while RunSettingsDialog runs it
  bool m_bInitialized = false;
  bool m_bMicPublishing = false;
  bool m_bScreenSharing = false;
  bool m_bRecording = false;
  std::set<int> m_publishedCameras;
  CVideoPanelLayoutUI* m_pScreenShareLayout = nullptr;
  CVideoPanelLayoutUI* m_pVideoLayout = nullptr;
  CSpeakerSettingWnd m_speakerPopup;
};
