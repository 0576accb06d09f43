// A transparent overlay window over a video panel's render window: the user id, the
// statistics line and the "more" button whose menu chooses the render mode, switches the
// camera or asks for remote control. The background overlay draws a half-transparent
// strip; the foreground one draws the texts and the button above it.
#pragma once

#include "winlib/ui_lib.h"

class CVideoPanelUI;

class CVideoRenderControlUI : public DuiLib::CWindowWnd, public DuiLib::INotifyUI {
 public:
  CVideoRenderControlUI(CVideoPanelUI* panel, bool background);
  ~CVideoRenderControlUI() override;

  // Takes over `overlay` (already created) and loads its layout.
  void Init(HWND overlay);
  LPCTSTR GetWindowClassName() const override { return L"UIVideoRenderControl"; }
  UINT GetClassStyle() const override { return CS_DBLCLKS; }
  void Notify(DuiLib::TNotifyUI& msg) override;

  DuiLib::CPaintManagerUI& GetPaintManager() { return m_pm; }
  void SetUserIdText(LPCTSTR text);
  void SetVideoInfoText(LPCTSTR text);
  int GetRemoteControlState() const { return m_remoteControlState; }
  void SetRemoteControlState(int state) { m_remoteControlState = state; }
  bool IsBackground() const { return m_background; }
  // The items of the more menu that is open, for tests and the menu choice.
  void BuildMoreMenu(DuiLib::CControlUI* menuRoot);
  void OnMenuChoice(const DuiLib::CDuiString& itemName);

 protected:
  LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;

 private:
  void ShowMoreMenu(POINT clientPoint);

  DuiLib::CPaintManagerUI m_pm;
  int m_remoteControlState = 0;
  bool m_background;
  CVideoPanelUI* m_panel;
  DuiLib::CControlUI* m_labelVideoInfo = nullptr;
  DuiLib::CControlUI* m_labelUserId = nullptr;
};
