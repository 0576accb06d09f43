// The information window: a popup owned by the main window with the online users, a
// group-id entry with its join button, and the panels the main window's buttons fill.
// Its close button only hides it; the object deletes itself when its window is gone.
#pragma once

#include <string>
#include <vector>

#include "kiv_sdk.h"
#include "winlib/ui_lib.h"

class CInfoWnd : public DuiLib::WindowImplBase {
 public:
  LPCTSTR GetWindowClassName() const override { return L"CInfoWnd"; }
  void InitWindow() override;
  void OnClick(DuiLib::TNotifyUI& msg) override;
  void Notify(DuiLib::TNotifyUI& msg) override;
  LRESULT OnDestroy(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
  void OnFinalMessage(HWND hWnd) override;

  // Shows why joining a group failed.
  void OnJoinFailed(LPCWSTR errorText);
  void UpdateJoinButtons();
  // UTF-8 ids of the checked users, in list order.
  kiv::Vector<kiv::String> GetCheckedUsers();
  // Shows the window with one information panel (title and image).
  void ShowInfoPanel(LPCTSTR title, LPCTSTR image);
  // Shows the window with its call-in section.
  void ShowCallIn();

  DUI_DECLARE_MESSAGE_MAP()

 protected:
  DuiLib::CDuiString GetSkinFolder() override { return L"skin"; }
  DuiLib::CDuiString GetSkinFile() override { return L"InfoWnd.xml"; }

 private:
  bool AnyUserChecked();
  void ShowSection(LPCTSTR visibleSection);

  DuiLib::CWndShadow m_shadow;
};
