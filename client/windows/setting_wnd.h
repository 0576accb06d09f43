// The modal settings dialog: audio (microphone and speaker, volumes, level meters), video
// (camera with a live preview, resolution, frame rate) and screen share (quality mode and
// share rectangle). Choices apply at once through the SDK and are kept in the SDK manager.
#pragma once

#include "winlib/ui_lib.h"

class CVideoPanelUI;

constexpr UINT TIMER_LEVEL_METER = 100;
constexpr UINT kLevelMeterMs = 200;

class CSettingWnd : public DuiLib::WindowImplBase {
 public:
  LPCTSTR GetWindowClassName() const override { return L"CDuiSettingWnd"; }
  void InitWindow() override;
  void OnClick(DuiLib::TNotifyUI& msg) override;
  LRESULT OnClose(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
  LRESULT HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
  DuiLib::CControlUI* CreateControl(LPCTSTR pstrClass) override;
  void OnValueChanged(DuiLib::TNotifyUI& msg);
  void OnItemSelect(DuiLib::TNotifyUI& msg);
  void OnTabSelect(DuiLib::TNotifyUI& msg);
  // Refills the three device lists from the SDK and re-selects the stored choices.
  void RefreshDevices();

  int GetPreviewedCamera() const { return m_previewedCamera; }

  DUI_DECLARE_MESSAGE_MAP()

 protected:
  DuiLib::CDuiString GetSkinFolder() override { return L"skin"; }
  DuiLib::CDuiString GetSkinFile() override { return L"setting_dlg.xml"; }

 private:
  void ApplyVideoProfileToPublished();
  // Saves the screen-share page; false (with a message) when the rectangle is refused.
  void SaveScreenShareSettings();
  void UpdateLevelMeters();

  DuiLib::CWndShadow m_shadow;
  DuiLib::CTabLayoutUI* m_pTab = nullptr;
  CVideoPanelUI* m_pPreview = nullptr;
  int m_previewedCamera = -1;
};
