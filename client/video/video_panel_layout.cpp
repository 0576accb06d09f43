#include "video/video_panel_layout.h"

#include "video/video_panel.h"

using namespace DuiLib;

LPVOID CVideoPanelLayoutUI::GetInterface(LPCTSTR pstrName) {
  if (_wcsicmp(pstrName, L"VideoPanelLayout") == 0) return static_cast<CVideoPanelLayoutUI*>(this);
  return CContainerUI::GetInterface(pstrName);
}

void CVideoPanelLayoutUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
  if (_wcsicmp(pstrName, L"content") == 0) {
    m_content = pstrValue;
    return;
  }
  CContainerUI::SetAttribute(pstrName, pstrValue);
}

void CVideoPanelLayoutUI::SetPos(RECT rc, bool bNeedInvalidate) {
  CContainerUI::SetPos(rc, bNeedInvalidate);
  UpdateRenderWindows();
}

void CVideoPanelLayoutUI::BindPanels() {
  if (m_panels[0] || m_panels[1] || !m_pManager) return;
  const wchar_t* format = (m_content == L"screenshare") ? L"main_screenshare_panel%d" : L"main_video_panel%d";
  for (int i = 0; i < 2; ++i) {
    wchar_t name[64] = {};
    swprintf(name, 64, format, i + 1);
    CControlUI* control = m_pManager->FindControl(name);
    m_panels[i] = control ? static_cast<CVideoPanelUI*>(control->GetInterface(L"VideoPanel")) : nullptr;
  }
}

CVideoPanelUI* CVideoPanelLayoutUI::GetPanel(int index) const {
  return (index == 0 || index == 1) ? m_panels[index] : nullptr;
}

CVideoPanelUI* CVideoPanelLayoutUI::FirstIdlePanel() const {
  for (CVideoPanelUI* panel : m_panels) {
    if (panel && !panel->IsBusy()) return panel;
  }
  return nullptr;
}

int CVideoPanelLayoutUI::AddRemoteVideo(const std::string& userId, const std::string& videoId) {
  CVideoPanelUI* panel = FirstIdlePanel();
  if (!panel) return 0;
  panel->SetVisible(true);
  const int result = panel->SetRemoteVideo(userId, videoId);
  UpdateRenderWindows();
  return result;
}

void CVideoPanelLayoutUI::RemoveRemoteVideo(const std::string& userId, const std::string& videoId) {
  for (CVideoPanelUI* panel : m_panels) {
    if (!panel || panel->GetUserId() != userId || panel->GetVideoId() != videoId) continue;
    panel->SetVisible(false);
    panel->ClearRemoteVideo();
  }
  UpdateRenderWindows();
}

void CVideoPanelLayoutUI::UpdateRenderWindows() {
  const int w2 = (m_rcItem.right - m_rcItem.left) / 2;
  const int h = m_rcItem.bottom - m_rcItem.top;
  for (int i = 0; i < 2; ++i) {
    CVideoPanelUI* panel = m_panels[i];
    if (!panel) continue;
    panel->SetVisible(true);
    RECT rc;
    rc.left = m_rcItem.left + (w2 + 1) * (i % 2);
    rc.top = m_rcItem.top + (h + 1) * (i / 2);
    rc.right = rc.left + w2;
    rc.bottom = rc.top + h;
    panel->SetPos(rc, true);
  }
}

void CVideoPanelLayoutUI::UpdateVideoInfo() {
  for (CVideoPanelUI* panel : m_panels) {
    if (panel && panel->IsBusy()) panel->UpdateVideoInfo();
  }
}
