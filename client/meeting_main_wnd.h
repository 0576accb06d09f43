// The meeting window: users of the group with their media icons, the chat, the video
// areas and the command buttons. Created hidden by the SDK manager, shown once the group
// is joined; destroying it ends the message loop.
#pragma once

#include <string>
#include <vector>

#include "sdk_messages.h"
#include "winlib/ui_lib.h"

constexpr UINT TIMER_VIDEO_INFO = 99;

class CMeetingMainWnd : public DuiLib::WindowImplBase {
 public:
  LPCTSTR GetWindowClassName() const override { return L"CDuiFrameWnd"; }
  void InitWindow() override;
  LRESULT HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
  LRESULT OnDestroy(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
  void OnClick(DuiLib::TNotifyUI& msg) override;
  void OnTabSelect(DuiLib::TNotifyUI& msg);
  void OnChatInputFocus(DuiLib::TNotifyUI& msg);
  void OnChatInputKillFocus(DuiLib::TNotifyUI& msg);
  void OnChatTargetSelect(DuiLib::TNotifyUI& msg);

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
  // After a lost connection: the media buttons show "off".
  void ResetMediaState();

  DUI_DECLARE_MESSAGE_MAP()

 protected:
  DuiLib::CDuiString GetSkinFolder() override { return L"skin"; }
  DuiLib::CDuiString GetSkinFile() override { return L"meeting_main_wnd.xml"; }

 private:
  DuiLib::CWndShadow m_shadow;
  bool m_bInitialized = false;
};
