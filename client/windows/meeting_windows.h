// The client's windows as the SDK manager drives them: the main window (owned) and its
// information window (deletes itself when its window is gone).
#pragma once

#include <memory>
#include <string>

#include "sdk_glue/meeting_windows.h"

class CMeetingWindows final : public IMeetingWindows {
 public:
  // The factory the program hands to CSdkManager::SetWindowsFactory.
  static std::unique_ptr<IMeetingWindows> Make();

  CMeetingWindows();
  ~CMeetingWindows() override;

  bool Create() override;
  std::wstring CreateFailure() const override { return m_createFailure; }
  void Destroy() override;
  CMeetingMainWnd* MainWnd() const override { return m_pMainWnd.get(); }
  CInfoWnd* InfoWnd() const override { return m_pInfoWnd; }
  void OnInfoWndGone(CInfoWnd* wnd) override;
  HWND MainHandle() const override;
  void Hide() override;
  void ShowMessage(LPCWSTR text) override;
  void ShowJoined(const std::string& groupId) override;
  void ShowInviteAnswer(const InviteAnswerRecord& answer) override;
  void SyncUsers(const std::vector<std::string>& userIds) override;
  void ShowJoinFailed(const std::wstring& errorText) override;
  void ShowConnectionLost() override;

 private:
  std::unique_ptr<CMeetingMainWnd> m_pMainWnd;
  CInfoWnd* m_pInfoWnd = nullptr;
  std::wstring m_createFailure;
};
