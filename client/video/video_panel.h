// A video panel: shows the local camera preview or one remote video by handing its native
// render window to the SDK; it never draws video itself. Two overlay windows above the
// render window show the user id, the statistics line and the "more" menu.
#pragma once

#include <memory>
#include <string>

#include "video/unique_window.h"
#include "winlib/ui_lib.h"

class CVideoRenderControlUI;

class CVideoPanelUI : public DuiLib::CControlUI {
 public:
  CVideoPanelUI();
  ~CVideoPanelUI() override;

  LPCTSTR GetClass() const override { return L"VideoPanelUI"; }
  LPVOID GetInterface(LPCTSTR pstrName) override;
  void SetPos(RECT rc, bool bNeedInvalidate = true) override;
  void SetInternVisible(bool bVisible = true) override;
  void DoInit() override;
  void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;

  // False when busy or when the SDK refuses the preview.
  bool StartLocalPreview(int cameraIndex);
  void StopLocalPreview();
  // 1 when busy, else the SDK's result (0 shown).
  int SetRemoteVideo(const std::string& userId, const std::string& videoId);
  void ClearRemoteVideo();
  void Reset();
  void SetRenderMode(int mode);
  void UpdateVideoInfo();
  void PlaceWindows();

  bool IsBusy() const { return m_cameraIndex != -1 || (!m_userId.empty() && !m_videoId.empty()); }
  int GetCameraIndex() const { return m_cameraIndex; }
  const std::string& GetUserId() const { return m_userId; }
  const std::string& GetVideoId() const { return m_videoId; }
  void SetVideoId(const std::string& videoId) { m_videoId = videoId; }
  int GetRenderMode() const { return m_renderMode; }
  HWND GetRenderWindow() const { return m_renderWindow.get(); }
  CVideoRenderControlUI* GetForegroundControl() const { return m_foreground.get(); }
  bool HasOverlays() const { return m_foregroundWindow != nullptr; }

 private:
  void ShowWindowsByState();
  void RaiseOverlays();
  void RequestRelayout();
  HWND CreateOverlay(HWND parent, bool background);

  int m_cameraIndex = -1;
  std::string m_userId;   // UTF-8
  std::string m_videoId;  // UTF-8
  int m_renderMode = 3;
  bool m_showVideoInfo = true;
  // Declared before the window so that the window (and the overlays it takes along)
  // goes first and the controls after it.
  std::unique_ptr<CVideoRenderControlUI> m_background;
  std::unique_ptr<CVideoRenderControlUI> m_foreground;
  UniqueWindow m_renderWindow;
  HWND m_backgroundWindow = nullptr;  // owned by the render window
  HWND m_foregroundWindow = nullptr;  // owned by the background overlay
};
