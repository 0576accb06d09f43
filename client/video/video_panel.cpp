#include "video/video_panel.h"

#include "config/media_settings.h"
#include "sdk_glue/sdk_manager.h"
#include "text_codec.h"
#include "video/video_render_control.h"
#include "video/video_render_window_class.h"

using namespace DuiLib;

namespace {

constexpr DWORD kPanelBackground = 0xFFF0F3F6;  // opaque RGB(240, 243, 246)

kiv::IKivEngine* Engine() { return CSdkManager::GetInstance().GetEngine(); }

}  // namespace

CVideoPanelUI::CVideoPanelUI()
    : m_background(new CVideoRenderControlUI(this, true)), m_foreground(new CVideoRenderControlUI(this, false)) {}

CVideoPanelUI::~CVideoPanelUI() {
  // The overlays are owned windows of the render window: they go with it, then their
  // controls (members declared before the window) are deleted.
  m_renderWindow.Reset();
  m_backgroundWindow = nullptr;
  m_foregroundWindow = nullptr;
}

LPVOID CVideoPanelUI::GetInterface(LPCTSTR pstrName) {
  if (_wcsicmp(pstrName, L"VideoPanel") == 0) return static_cast<CVideoPanelUI*>(this);
  return CControlUI::GetInterface(pstrName);
}

void CVideoPanelUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
  if (_wcsicmp(pstrName, L"show_videoinfo") == 0) {
    m_showVideoInfo = _wcsicmp(pstrValue, L"false") != 0;
    return;
  }
  CControlUI::SetAttribute(pstrName, pstrValue);
}

HWND CVideoPanelUI::CreateOverlay(HWND parent, bool background) {
  HWND overlay = ::CreateWindowExW(0, L"#32770", L"VideoRenderControl", WS_CLIPCHILDREN, 0, 0, 0, 0, parent, nullptr,
                                   CPaintManagerUI::GetInstance(), nullptr);
  if (!overlay) return nullptr;
  LONG_PTR style = ::GetWindowLongPtrW(overlay, GWL_STYLE);
  ::SetWindowLongPtrW(overlay, GWL_STYLE, style & ~static_cast<LONG_PTR>(WS_CAPTION));
  LONG_PTR ex = ::GetWindowLongPtrW(overlay, GWL_EXSTYLE);
  ex &= ~static_cast<LONG_PTR>(WS_EX_DLGMODALFRAME | WS_EX_CLIENTEDGE | WS_EX_STATICEDGE | WS_EX_APPWINDOW);
  ::SetWindowLongPtrW(overlay, GWL_EXSTYLE, ex | WS_EX_LAYERED);
  if (background) {
    ::SetLayeredWindowAttributes(overlay, RGB(0, 0, 0), 125, LWA_COLORKEY | LWA_ALPHA);
  } else {
    ::SetLayeredWindowAttributes(overlay, RGB(0, 0, 0), 0, LWA_COLORKEY);
  }
  CVideoRenderControlUI* control = background ? m_background.get() : m_foreground.get();
  ::SetWindowLongPtrW(overlay, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(control));
  control->Subclass(overlay);
  control->Init(overlay);
  return overlay;
}

void CVideoPanelUI::DoInit() {
  HWND paint = m_pManager ? m_pManager->GetPaintWindow() : nullptr;
  m_renderWindow.Reset(::CreateWindowExW(0, kVideoRenderWindowClass, L"VideoRender", WS_CHILD, 0, 0, 0, 0, paint,
                                         nullptr, CPaintManagerUI::GetInstance(), nullptr));
  if (m_renderWindow.get() && m_showVideoInfo) {
    m_backgroundWindow = CreateOverlay(m_renderWindow.get(), true);
    if (m_backgroundWindow) m_foregroundWindow = CreateOverlay(m_backgroundWindow, false);
  }
  SetBkColor(kPanelBackground);
}

void CVideoPanelUI::ShowWindowsByState() {
  const bool show = IsVisible() && IsBusy();
  for (HWND w : {m_renderWindow.get(), m_backgroundWindow, m_foregroundWindow}) {
    if (w) ::ShowWindow(w, show ? SW_SHOWNOACTIVATE : SW_HIDE);
  }
  if (show) RaiseOverlays();
}

void CVideoPanelUI::RaiseOverlays() {
  // Overlays are owned pop-ups: without a window manager (Wine under Xvfb) the main
  // window (top-most itself) is stacked above them when it is shown, moved or activated.
  // They stay top-most while the main window takes input, and step back while a modal
  // window of it runs.
  HWND top = m_pManager ? ::GetAncestor(m_pManager->GetPaintWindow(), GA_ROOT) : nullptr;
  const HWND order = (top && ::IsWindowEnabled(top)) ? HWND_TOPMOST : HWND_NOTOPMOST;
  for (HWND overlay : {m_backgroundWindow, m_foregroundWindow}) {
    if (!overlay || !::IsWindowVisible(overlay)) continue;
    ::SetWindowPos(overlay, order, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ::InvalidateRect(overlay, nullptr, FALSE);
  }
}

void CVideoPanelUI::RequestRelayout() {
  if (m_pParent) m_pParent->NeedUpdate();
}

void CVideoPanelUI::SetPos(RECT rc, bool bNeedInvalidate) {
  CControlUI::SetPos(rc, bNeedInvalidate);
  PlaceWindows();
}

void CVideoPanelUI::SetInternVisible(bool bVisible) {
  CControlUI::SetInternVisible(bVisible);
  ShowWindowsByState();
  RequestRelayout();
}

void CVideoPanelUI::PlaceWindows() {
  const RECT rc = m_rcItem;
  const int width = rc.right - rc.left;
  const int height = rc.bottom - rc.top;
  HWND paint = m_pManager ? m_pManager->GetPaintWindow() : nullptr;
  if (m_renderWindow.get()) {
    ::SetWindowPos(m_renderWindow.get(), nullptr, rc.left, rc.top, width, height,
                   SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
  }
  POINT corner{rc.left, rc.top};
  if (paint) ::ClientToScreen(paint, &corner);
  for (HWND overlay : {m_backgroundWindow, m_foregroundWindow}) {
    if (overlay) ::SetWindowPos(overlay, nullptr, corner.x, corner.y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  for (CVideoRenderControlUI* control : {m_background.get(), m_foreground.get()}) {
    if (!control->GetHWND()) continue;
    control->GetPaintManager().SetInitSize(width, height);
    control->GetPaintManager().Invalidate();
  }
  wchar_t image[160] = {};
  swprintf(image, 160, L"file='img\\InfoImg\\视频背景.jpg' dest='%d,%d,%d,%d'", width / 2 - 48, height / 2 - 48,
           width / 2 + 48, height / 2 + 48);
  SetBkImage(image);
}

bool CVideoPanelUI::StartLocalPreview(int cameraIndex) {
  if (IsBusy()) return false;
  kiv::IKivEngine* engine = Engine();
  if (!engine || engine->AddVideoPreview(cameraIndex, m_renderWindow.get(), m_renderMode) != 0) return false;
  m_cameraIndex = cameraIndex;
  m_userId = CSdkManager::GetInstance().GetUserId();
  PlaceWindows();
  ShowWindowsByState();
  RequestRelayout();
  m_foreground->SetUserIdText(Utf8ToWide(m_userId).c_str());
  return true;
}

void CVideoPanelUI::StopLocalPreview() {
  if (kiv::IKivEngine* engine = Engine()) engine->RemoveVideoPreview(m_cameraIndex, m_renderWindow.get());
  m_cameraIndex = -1;
  Reset();
}

int CVideoPanelUI::SetRemoteVideo(const std::string& userId, const std::string& videoId) {
  if (IsBusy()) return 1;
  kiv::IKivEngine* engine = Engine();
  if (!engine) return kiv_core::ERR_INVALID_STATE;
  const int result = engine->SetRemoteVideoRender(userId.c_str(), videoId.c_str(), m_renderWindow.get(), m_renderMode);
  if (result != 0) return result;
  m_userId = userId;
  m_videoId = videoId;
  PlaceWindows();
  ShowWindowsByState();
  RequestRelayout();
  m_foreground->SetUserIdText(Utf8ToWide(m_userId).c_str());
  return 0;
}

void CVideoPanelUI::ClearRemoteVideo() {
  if (kiv::IKivEngine* engine = Engine()) {
    engine->SetRemoteVideoRender(m_userId.c_str(), m_videoId.c_str(), nullptr, m_renderMode);
  }
  Reset();
}

void CVideoPanelUI::Reset() {
  m_userId.clear();
  m_videoId.clear();
  m_foreground->SetRemoteControlState(0);
  m_foreground->SetUserIdText(L"");
  m_foreground->SetVideoInfoText(L"");
  ShowWindowsByState();
  RequestRelayout();
}

void CVideoPanelUI::SetRenderMode(int mode) {
  m_renderMode = mode;
  if (!IsBusy()) return;
  kiv::IKivEngine* engine = Engine();
  if (!engine) return;
  if (m_cameraIndex != -1) {
    engine->AddVideoPreview(m_cameraIndex, m_renderWindow.get(), m_renderMode);
  } else {
    engine->SetRemoteVideoRender(m_userId.c_str(), m_videoId.c_str(), m_renderWindow.get(), m_renderMode);
  }
}

void CVideoPanelUI::UpdateVideoInfo() {
  RaiseOverlays();
  kiv::IKivEngine* engine = Engine();
  if (!engine) return;
  kiv::VideoStats stats;
  if (engine->GetVideoStats(m_userId.c_str(), m_videoId.c_str(), &stats) != 0) return;
  const std::string line = media_settings::VideoStatsLine(stats.bitrate, stats.frameRate, stats.width, stats.height);
  m_foreground->SetVideoInfoText(Utf8ToWide(line).c_str());
}
