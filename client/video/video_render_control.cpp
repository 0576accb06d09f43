#include "video/video_render_control.h"

#include <string>

#include "config/media_settings.h"
#include "menu/menu_wnd.h"
#include "sdk_glue/sdk_manager.h"
#include "text_codec.h"
#include "video/video_panel.h"

using namespace DuiLib;

namespace {

constexpr wchar_t kScreenShareVideoId[] = L"reserved_videoid_screenshare";
constexpr wchar_t kCameraItemPrefix[] = L"menu_cam_";
constexpr wchar_t kSelectedImage[] = L"file='img\\video\\radio_sel.png' dest='4,10,20,26'";
constexpr wchar_t kArrowImage[] = L"file='img\\video\\more_menu_arrow.png' dest='156,14,163,22'";
constexpr int kRemoteControlRequest = 0;
constexpr int kRemoteControlCancel = 1;

CMenuElementUI* MakeMenuElement(LPCTSTR name, LPCTSTR text, bool selected, bool hasSubmenu) {
  auto* element = new CMenuElementUI;
  element->SetAttribute(L"name", name);
  element->SetAttribute(L"width", L"180");
  element->SetAttribute(L"height", L"36");
  element->SetText(text);
  if (selected) {
    element->SetAttribute(L"bkimage", kSelectedImage);
  } else if (hasSubmenu) {
    element->SetAttribute(L"bkimage", kArrowImage);
  }
  return element;
}

const wchar_t* RemoteControlItemText(int state) {
  switch (state) {
    case 1:
      return L"等待共享端接受";
    case 2:
      return L"取消控制";
    default:
      return L"远程控制桌面";
  }
}

}  // namespace

CVideoRenderControlUI::CVideoRenderControlUI(CVideoPanelUI* panel, bool background)
    : m_background(background), m_panel(panel) {}

CVideoRenderControlUI::~CVideoRenderControlUI() {
  if (m_hWnd && ::IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
}

void CVideoRenderControlUI::Init(HWND overlay) {
  (void)overlay;
  m_pm.Init(m_hWnd);
  m_pm.SetResourcePath(CPaintManagerUI::GetDefaultResourcePath());
  CDialogBuilder builder;
  CControlUI* root = builder.Create(L"video_controler.xml", nullptr, nullptr, &m_pm);
  if (!root) return;
  m_pm.AttachDialog(root);
  m_pm.AddNotifier(this);
  for (LPCTSTR name : {L"label_user_id", L"btn_video_more", L"label_video_info"}) {
    CControlUI* control = m_pm.FindControl(name);
    if (!control) continue;
    if (m_background) {
      control->SetBkColor(0xFF7A7A7A);
      control->SetBkImage(L"img\\video_info.png");
    } else {
      control->SetBkColor(0xFF000000);
    }
  }
  m_labelVideoInfo = m_pm.FindControl(L"label_video_info");
  m_labelUserId = m_pm.FindControl(L"label_user_id");
}

void CVideoRenderControlUI::SetUserIdText(LPCTSTR text) {
  if (m_labelUserId && !m_background) m_labelUserId->SetText(text);
}

void CVideoRenderControlUI::SetVideoInfoText(LPCTSTR text) {
  if (m_labelVideoInfo && !m_background) m_labelVideoInfo->SetText(text);
}

LRESULT CVideoRenderControlUI::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (m_pm.GetPaintWindow() && m_pm.MessageHandler(uMsg, wParam, lParam, result)) return result;
  return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
}

void CVideoRenderControlUI::Notify(TNotifyUI& msg) {
  if (!msg.pSender) return;
  if (msg.sType == DUI_MSGTYPE_CLICK && msg.pSender->GetName() == L"btn_video_more") {
    ShowMoreMenu(msg.ptMouse);
  } else if (msg.sType == DUI_MSGTYPE_ITEMCLICK && msg.pSender->GetInterface(L"MenuElement")) {
    OnMenuChoice(msg.pSender->GetName());
  }
}

void CVideoRenderControlUI::ShowMoreMenu(POINT clientPoint) {
  POINT point = clientPoint;
  ::ClientToScreen(m_hWnd, &point);
  auto* menu = new CMenuWnd(m_hWnd);  // deletes itself when closed or when it cannot open
  if (!menu->Init(nullptr, this, L"popup_menu.xml", L"xml", 24, point.x, point.y)) return;
  BuildMoreMenu(menu->GetRoot());
  menu->ResizeMenu();
}

void CVideoRenderControlUI::BuildMoreMenu(CControlUI* menuRoot) {
  auto* list = menuRoot ? static_cast<CMenuUI*>(menuRoot->GetInterface(L"Menu")) : nullptr;
  if (!list || !m_panel) return;
  if (CPaintManagerUI* pm = menuRoot->GetManager()) {
    if (CControlUI* placeholder = pm->FindControl(L"placeholder")) list->Remove(placeholder);
  }
  if (m_panel->GetVideoId() == WideToUtf8(kScreenShareVideoId)) {
    list->Add(
        MakeMenuElement(L"video_operate_remotecontrol", RemoteControlItemText(m_remoteControlState), false, false));
    return;
  }
  const int mode = m_panel->GetRenderMode();
  list->Add(MakeMenuElement(L"video_disp_sfpp", L"视频缩放平铺显示", mode == 1, false));
  list->Add(MakeMenuElement(L"video_disp_dbcj", L"视频等比裁剪显示", mode == 2, false));
  list->Add(MakeMenuElement(L"video_disp_dbwz", L"视频等比完整显示", mode == 3, false));
  kiv::IKivEngine* engine = CSdkManager::GetInstance().GetEngine();
  kiv::IDeviceManager* devices = engine ? engine->GetDeviceManager() : nullptr;
  if (!devices) return;
  kiv::Vector<kiv::DeviceInfo> cameras = devices->GetCameraDevices();
  if (cameras.size() <= 1 || m_panel->GetCameraIndex() == -1) return;
  CMenuElementUI* cameraSwitch = MakeMenuElement(L"cam_switch", L"切换摄像头", false, true);
  for (int i = 0; i < static_cast<int>(cameras.size()); ++i) {
    const std::wstring name = kCameraItemPrefix + std::to_wstring(i);
    std::wstring text = Utf8ToWide(cameras[i].name.c_str());
    if (text.size() > 31) text.resize(31);
    cameraSwitch->Add(MakeMenuElement(name.c_str(), text.c_str(), i == m_panel->GetCameraIndex(), false));
  }
  list->Add(cameraSwitch);
}

void CVideoRenderControlUI::OnMenuChoice(const CDuiString& itemName) {
  if (!m_panel) return;
  kiv::IKivEngine* engine = CSdkManager::GetInstance().GetEngine();
  if (itemName == L"video_disp_sfpp") {
    m_panel->SetRenderMode(1);
  } else if (itemName == L"video_disp_dbcj") {
    m_panel->SetRenderMode(2);
  } else if (itemName == L"video_disp_dbwz") {
    m_panel->SetRenderMode(3);
  } else if (itemName == L"video_operate_remotecontrol") {
    if (m_remoteControlState == 0) {
      if (engine && engine->RemoteControlOperation(m_panel->GetUserId().c_str(), kRemoteControlRequest) == 0) {
        m_remoteControlState = 1;
      }
    } else if (m_remoteControlState == 1) {
      m_remoteControlState = 2;
    } else if (engine && engine->RemoteControlOperation(m_panel->GetUserId().c_str(), kRemoteControlCancel) == 0) {
      m_remoteControlState = 0;
    }
  } else if (auto index = media_settings::IndexAfterPrefix(itemName.GetData(), kCameraItemPrefix)) {
    // A menu opened before the panel was reset (a lost connection) has no camera to switch.
    if (m_panel->GetCameraIndex() == -1 || m_panel->GetVideoId().empty()) return;
    if (*index == m_panel->GetCameraIndex()) return;
    const std::string videoId = m_panel->GetVideoId();
    CSdkManager::GetInstance().StartPublishVideo(videoId.c_str(), *index);
    m_panel->StopLocalPreview();
    m_panel->StartLocalPreview(*index);
    if (m_panel->GetCameraIndex() == *index) m_panel->SetVideoId(videoId);
  }
}
