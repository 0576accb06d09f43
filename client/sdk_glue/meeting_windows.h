// The windows the SDK manager drives, as it sees them: made by the windows side and
// handed over through a factory, so that the manager names no window type's definition.
// Every call comes on the user-interface thread.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "sdk_glue/sdk_messages.h"

class CMeetingMainWnd;
class CInfoWnd;

class IMeetingWindows {
 public:
  virtual ~IMeetingWindows() = default;

  // Makes the main window and its information window where missing, both hidden; false
  // when either cannot be made (CreateFailure then says which).
  virtual bool Create() = 0;
  virtual std::wstring CreateFailure() const = 0;
  // Destroys both windows directly (the message loop may have ended).
  virtual void Destroy() = 0;

  virtual CMeetingMainWnd* MainWnd() const = 0;
  virtual CInfoWnd* InfoWnd() const = 0;
  // The information window deletes itself; it reports here when its window is gone.
  virtual void OnInfoWndGone(CInfoWnd* wnd) = 0;
  // The main window's handle, null while there is none.
  virtual HWND MainHandle() const = 0;

  virtual void Hide() = 0;
  // The client's message box, owned by the main window where there is one.
  virtual void ShowMessage(LPCWSTR text) = 0;
  // A joined group: the main window shown, centred, with the group id (UTF-8).
  virtual void ShowJoined(const std::string& groupId) = 0;
  virtual void ShowInviteAnswer(const InviteAnswerRecord& answer) = 0;
  // The group's users (UTF-8) in the user list and the chat targets.
  virtual void SyncUsers(const std::vector<std::string>& userIds) = 0;
  virtual void ShowJoinFailed(const std::wstring& errorText) = 0;
  // The connection is gone: the main window back to no media (panels cleared, camera and
  // microphone buttons off); nothing else changes.
  virtual void ShowConnectionLost() = 0;
};
