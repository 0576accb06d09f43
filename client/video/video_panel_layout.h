// A container of two video panels side by side: remote videos go to the first idle panel.
#pragma once

#include <string>

#include "winlib/ui_lib.h"

class CVideoPanelUI;

class CVideoPanelLayoutUI : public DuiLib::CContainerUI {
 public:
  LPVOID GetInterface(LPCTSTR pstrName) override;
  void SetPos(RECT rc, bool bNeedInvalidate = true) override;
  void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;

  void BindPanels();
  // The panel's result; 0 when both panels are busy (nothing shown).
  int AddRemoteVideo(const std::string& userId, const std::string& videoId);
  void RemoveRemoteVideo(const std::string& userId, const std::string& videoId);
  void UpdateRenderWindows();
  void UpdateVideoInfo();
  // Panel 0 or 1; null when not bound.
  CVideoPanelUI* GetPanel(int index) const;
  // The first panel that is not busy, else null.
  CVideoPanelUI* FirstIdlePanel() const;

 private:
  DuiLib::CDuiString m_content;
  CVideoPanelUI* m_panels[2] = {nullptr, nullptr};
};
