// The client's modal message window, drawn from its own skin: a text and the buttons
// "btn_ok" (result 1) and "btn_cancel" (result 2). The object deletes itself when its
// window is gone, so it is always created with new.
#pragma once

#include "winlib/ui_lib.h"

class CMessageBox : public DuiLib::WindowImplBase {
 public:
  LPCTSTR GetWindowClassName() const override { return L"CMessageBox"; }
  void OnClick(DuiLib::TNotifyUI& msg) override;
  void OnFinalMessage(HWND hWnd) override;
  void SetText(LPCWSTR text);
  // Captions of "btn_ok" and "btn_cancel".
  void SetButtonTexts(LPCWSTR ok, LPCWSTR cancel);

  DUI_DECLARE_MESSAGE_MAP()

 protected:
  DuiLib::CDuiString GetSkinFolder() override { return L"skin"; }
  DuiLib::CDuiString GetSkinFile() override { return L"messagebox.xml"; }
};

// Shows `text` in a modal message box over `owner` and returns when it is closed.
void ShowMessageBox(HWND owner, LPCWSTR text);
