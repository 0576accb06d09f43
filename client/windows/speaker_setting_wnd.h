// The speaker-volume popup above the main window's speaker button: one slider that sets
// the speaker volume at once. It hides itself when it loses the focus.
#pragma once

#include "winlib/ui_lib.h"

class CSpeakerSettingWnd : public DuiLib::WindowImplBase {
 public:
  LPCTSTR GetWindowClassName() const override { return L"CSpeakerSettingWnd"; }
  LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
  void Notify(DuiLib::TNotifyUI& msg) override;

 protected:
  DuiLib::CDuiString GetSkinFolder() override { return L"skin"; }
  DuiLib::CDuiString GetSkinFile() override { return L"speaker_settingwnd.xml"; }
};
