#include "windows/meeting_main_wnd.h"

#include <ctime>
#include <memory>

#include "config/media_settings.h"
#include "menu/menu_item_list.h"
#include "menu/menu_wnd.h"
#include "sdk_glue/sdk_manager.h"
#include "text_codec.h"
#include "video/video_panel.h"
#include "video/video_panel_layout.h"
#include "windows/message_box.h"
#include "windows/setting_wnd.h"

using namespace DuiLib;

namespace {

constexpr wchar_t kAllUsers[] = L"所有人";
constexpr char kScreenShareVideoId[] = "reserved_videoid_screenshare";
constexpr int kCameraMenuItemWidth = 220;
constexpr int kCameraMenuItemHeight = 36;

// Images of the media icons of a user item, by media type 1 audio, 2 video, 3 screen share.
struct MediaIcon {
  const wchar_t* control;
  const wchar_t* open;
  const wchar_t* closed;
};
const MediaIcon kMediaIcons[3] = {
    {L"icon_user_audio", L"img\\main_user_audio_open.png", L"img\\main_user_audio_closed.png"},
    {L"icon_user_video", L"img\\main_user_video_open.png", L"img\\main_user_video_closed.png"},
    {L"icon_user_screenshare", L"img\\main_user_screenshare_open.png", L"img\\main_user_screenshare_closed.png"},
};

void SetButtonImages(CControlUI* button, const wchar_t* normal, const wchar_t* hot, const wchar_t* pushed) {
  if (!button) return;
  button->SetAttribute(L"normalimage", normal);
  button->SetAttribute(L"hotimage", hot);
  button->SetAttribute(L"pushedimage", pushed);
}

std::wstring LocalTimeText() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_s(&local, &now);
  wchar_t buffer[64] = {};
  wcsftime(buffer, 64, L"%X", &local);
  return buffer;
}

}  // namespace

DUI_BEGIN_MESSAGE_MAP(CMeetingMainWnd, WindowImplBase)
DUI_ON_MSGTYPE(DUI_MSGTYPE_CLICK, OnClick)
DUI_ON_MSGTYPE(DUI_MSGTYPE_SELECTCHANGED, OnTabSelect)
DUI_ON_MSGTYPE(DUI_MSGTYPE_SETFOCUS, OnChatInputFocus)
DUI_ON_MSGTYPE(DUI_MSGTYPE_KILLFOCUS, OnChatInputKillFocus)
DUI_ON_MSGTYPE(DUI_MSGTYPE_ITEMSELECT, OnChatTargetSelect)
DUI_ON_MSGTYPE(DUI_MSGTYPE_ITEMCLICK, OnCameraMenuItem)
DUI_END_MESSAGE_MAP()

void CMeetingMainWnd::InitWindow() {
  m_bInitialized = true;
  if (CControlUI* root = m_pm.GetRoot()) m_pm.SetTimer(root, TIMER_VIDEO_INFO, 1000);
  SetIcon(130);
  m_shadow.Create(m_hWnd);
  m_shadow.SetImage(L"img\\wnd_bg.png");
  m_shadow.SetShadowCorner(RECT{6, 6, 6, 6});
  m_shadow.SetHoleOffset(RECT{7, 7, 7, 7});
  auto findLayout = [this](LPCTSTR name) -> CVideoPanelLayoutUI* {
    CControlUI* control = m_pm.FindControl(name);
    return control ? static_cast<CVideoPanelLayoutUI*>(control->GetInterface(L"VideoPanelLayout")) : nullptr;
  };
  m_pScreenShareLayout = findLayout(L"main_screenshare_container");
  m_pVideoLayout = findLayout(L"main_video_container");
  if (m_pScreenShareLayout) m_pScreenShareLayout->BindPanels();
  if (m_pVideoLayout) m_pVideoLayout->BindPanels();
}

CControlUI* CMeetingMainWnd::CreateControl(LPCTSTR pstrClass) {
  if (_wcsicmp(pstrClass, L"VideoPanel") == 0) return new CVideoPanelUI;
  if (_wcsicmp(pstrClass, L"VideoPanelLayout") == 0) return new CVideoPanelLayoutUI;
  return WindowImplBase::CreateControl(pstrClass);
}

LRESULT CMeetingMainWnd::OnDestroy(UINT, WPARAM, LPARAM, BOOL& bHandled) {
  // A window whose creation fails ends nothing: its creator reports the failure.
  if (WasCreated()) ::PostQuitMessage(0);
  bHandled = FALSE;
  return 0;
}

void CMeetingMainWnd::OnTabSelect(TNotifyUI& msg) {
  auto* tab = static_cast<CTabLayoutUI*>(m_pm.FindControl(L"main_tab"));
  if (!tab || !msg.pSender) return;
  if (msg.pSender->GetName() == L"tabopt_video") {
    tab->SelectItem(0);
  } else if (msg.pSender->GetName() == L"tabopt_screenshare") {
    tab->SelectItem(1);
  }
}

void CMeetingMainWnd::OnChatInputFocus(TNotifyUI& msg) {
  if (!msg.pSender || msg.pSender->GetName() != L"main_msg_inputtip" || !msg.pSender->IsVisible()) return;
  CControlUI* input = m_pm.FindControl(L"main_msg_input");
  msg.pSender->SetVisible(false);
  if (input) {
    input->SetVisible(true);
    input->SetFocus();
  }
}

void CMeetingMainWnd::OnChatInputKillFocus(TNotifyUI& msg) {
  if (!msg.pSender || msg.pSender->GetName() != L"main_msg_input") return;
  if (!msg.pSender->GetText().IsEmpty()) return;
  CControlUI* tip = m_pm.FindControl(L"main_msg_inputtip");
  if (tip) tip->SetVisible(true);
  msg.pSender->SetVisible(false);
}

void CMeetingMainWnd::OnChatTargetSelect(TNotifyUI& msg) {
  if (!msg.pSender || msg.pSender->GetName() != L"main_msg_selectuser") return;
  std::string target = WideToUtf8(msg.pSender->GetText().str());
  if (target.size() > 255) target.clear();
  CSdkManager::GetInstance().SetChatTarget(target.c_str());
}

void CMeetingMainWnd::SyncUserList(const std::vector<std::string>& userIds) {
  if (userIds.empty()) return;
  AddUserItem(CSdkManager::GetInstance().GetUserId());
  for (const std::string& id : userIds) AddUserItem(id);
}

void CMeetingMainWnd::AddUserItem(const std::string& userId) {
  auto* list = static_cast<CListUI*>(m_pm.FindControl(L"list_users"));
  if (!list) return;
  const std::wstring wide = Utf8ToWide(userId);
  for (int i = 0; i < list->GetCount(); ++i) {
    CControlUI* label = m_pm.FindSubControlByName(list->GetItemAt(i), L"label_userid");
    if (label && label->GetUserData() == wide.c_str()) return;
  }
  CDialogBuilder builder;
  CControlUI* item = builder.Create(L"meeting_main_useritem.xml", nullptr, this, &m_pm);
  if (!item) return;
  CControlUI* label = m_pm.FindSubControlByName(item, L"label_userid");
  if (label) {
    std::wstring shown = wide;
    if (userId == CSdkManager::GetInstance().GetUserId()) shown += L"(我)";
    label->SetText(shown.c_str());
    label->SetUserData(wide.c_str());
  }
  list->Add(item);
}

void CMeetingMainWnd::RemoveUserItem(const std::string& userId) {
  auto* list = static_cast<CListUI*>(m_pm.FindControl(L"list_users"));
  if (!list) return;
  const std::wstring wide = Utf8ToWide(userId);
  for (int i = list->GetCount() - 1; i >= 0; --i) {
    CControlUI* label = m_pm.FindSubControlByName(list->GetItemAt(i), L"label_userid");
    if (label && label->GetUserData() == wide.c_str()) list->RemoveAt(i);
  }
}

void CMeetingMainWnd::RemoveChatTarget(const std::string& userId) {
  auto* combo = static_cast<CComboUI*>(m_pm.FindControl(L"main_msg_selectuser"));
  if (!combo) return;
  const std::wstring wide = Utf8ToWide(userId);
  for (int i = combo->GetCount() - 1; i >= 0; --i) {
    if (combo->GetItemAt(i)->GetText() == wide.c_str()) combo->RemoveAt(i);
  }
}

void CMeetingMainWnd::RefreshChatTargets(const std::vector<std::string>& userIds) {
  auto* combo = static_cast<CComboUI*>(m_pm.FindControl(L"main_msg_selectuser"));
  if (!combo) return;
  combo->RemoveAll();
  auto* all = new CListLabelElementUI;
  all->SetText(kAllUsers);
  all->SetTag(0);
  combo->Add(all);
  UINT_PTR tag = 1;
  const std::string& own = CSdkManager::GetInstance().GetUserId();
  for (const std::string& id : userIds) {
    if (id == own) continue;
    auto* item = new CListLabelElementUI;
    item->SetText(Utf8ToWide(id).c_str());
    item->SetTag(tag++);
    combo->Add(item);
  }
  const std::wstring target = Utf8ToWide(CSdkManager::GetInstance().ChatTarget().c_str());
  int select = 0;
  for (int i = 0; i < combo->GetCount(); ++i) {
    if (combo->GetItemAt(i)->GetText() == target.c_str()) {
      select = i;
      break;
    }
  }
  combo->SelectItem(select, false, true);
}

void CMeetingMainWnd::SetUserMediaIcon(const std::string& userId, int mediaType, bool open) {
  if (mediaType < 1 || mediaType > 3) return;
  auto* list = static_cast<CListUI*>(m_pm.FindControl(L"list_users"));
  if (!list) return;
  const std::wstring wide = Utf8ToWide(userId);
  for (int i = 0; i < list->GetCount(); ++i) {
    CControlUI* item = list->GetItemAt(i);
    CControlUI* label = m_pm.FindSubControlByName(item, L"label_userid");
    if (!label || label->GetUserData() != wide.c_str()) continue;
    const MediaIcon& icon = kMediaIcons[mediaType - 1];
    CControlUI* control = m_pm.FindSubControlByName(item, icon.control);
    if (control) control->SetBkImage(open ? icon.open : icon.closed);
    return;
  }
}

void CMeetingMainWnd::AppendChatText(const std::wstring& text, bool system, const std::wstring& sender,
                                     const std::wstring& addressee) {
  auto* chat = static_cast<CRichEditUI*>(m_pm.FindControl(L"main_re_msgs"));
  if (!chat) return;
  PARAFORMAT2 pf = {};
  pf.dwMask = PFM_LINESPACING;
  pf.bLineSpacingRule = 0;
  chat->SetParaFormat(pf);
  auto append = [&](const std::wstring& part, COLORREF color, LONG twips) {
    long start = chat->AppendText(part.c_str());
    chat->SetSel(start, chat->GetTextLength(GTL_NUMCHARS | GTL_PRECISE));
    CHARFORMAT2W cf = {};
    cf.dwMask = CFM_COLOR | CFM_UNDERLINE | (twips ? CFM_SIZE : 0);
    cf.crTextColor = color;
    cf.yHeight = twips;
    chat->SetSelectionCharFormat(cf);
    chat->SetSel(-1, -1);
  };
  const COLORREF header = 0x666666;
  append(LocalTimeText() + L" ", header, 196);
  if (system) {
    append(L" 系统消息：", header, 196);
    append(L"\n" + text + L"\n", 0x6633FF, 0);
  } else {
    append(sender + L" 对 " + addressee + L" 说：", header, 196);
    append(L"\n" + text + L"\n", 0xFE7D6A, 0);
  }
  chat->EndDown();
}

void CMeetingMainWnd::ShowInviteAnswer(const InviteAnswerRecord& answer) {
  CDuiString line;
  line.Format(answer.accepted ? L"%ls 已同意加入组" : L"%ls 拒绝加入组", Utf8ToWide(answer.userId).c_str());
  AppendChatText(line.str(), true, L"", L"");
}

void CMeetingMainWnd::PostChatMessage(const char* sender, const char* text, int groupFlag) {
  PostChatMessage(m_hWnd, sender, text, groupFlag);
}

void CMeetingMainWnd::PostChatMessage(HWND window, const char* sender, const char* text, int groupFlag) {
  ::PostChatMessage(window, sender, text, groupFlag);
}

void CMeetingMainWnd::SetCameraButtonImages(bool on) {
  CControlUI* cam = m_pm.FindControl(L"btn_cam");
  if (on) {
    SetButtonImages(cam, L"img\\LawIcon\\摄像头_Press.png", L"img\\LawIcon\\摄像头_HL.png",
                    L"img\\LawIcon\\摄像头.png");
  } else {
    SetButtonImages(cam, L"img\\LawIcon\\摄像头.png", L"img\\LawIcon\\摄像头_HL.png",
                    L"img\\LawIcon\\摄像头_Press.png");
  }
}

void CMeetingMainWnd::SetMicButtonImages(bool on) {
  CControlUI* mic = m_pm.FindControl(L"btn_mic");
  if (on) {
    SetButtonImages(mic, L"img\\LawIcon\\麦克风_Press.png", L"img\\LawIcon\\麦克风_HL.png",
                    L"img\\LawIcon\\麦克风.png");
  } else {
    SetButtonImages(mic, L"img\\LawIcon\\麦克风.png", L"img\\LawIcon\\麦克风_HL.png",
                    L"img\\LawIcon\\麦克风_Press.png");
  }
}

void CMeetingMainWnd::ClearAllPanels() {
  for (CVideoPanelLayoutUI* layout : {m_pVideoLayout, m_pScreenShareLayout}) {
    if (!layout) continue;
    for (int i = 0; i < 2; ++i) {
      CVideoPanelUI* panel = layout->GetPanel(i);
      if (!panel) continue;
      panel->ClearRemoteVideo();
      panel->StopLocalPreview();
    }
  }
}

void CMeetingMainWnd::ResetMediaState() {
  ClearAllPanels();
  SetCameraButtonImages(false);
  SetMicButtonImages(false);
}

void CMeetingMainWnd::OnRemoteVideoAdded(const RemoteVideoRecord& record) {
  const std::string userId = record.userId.c_str();
  const std::string videoId = record.videoId.c_str();
  const bool screen = videoId == kScreenShareVideoId;
  CVideoPanelLayoutUI* layout = screen ? m_pScreenShareLayout : m_pVideoLayout;
  const int result = layout ? layout->AddRemoteVideo(userId, videoId) : kiv_core::ERR_INVALID_STATE;
  if (result == 0) {
    SetUserMediaIcon(userId, screen ? 3 : 2, true);
    return;
  }
  CDuiString line;
  if (screen) {
    line.Format(L"查看屏幕共享失败:(%ls) Errcode:%d", Utf8ToWide(userId).c_str(), result);
  } else {
    line.Format(L"查看远端视频失败:(%ls, %ls) Errcode:%d", Utf8ToWide(userId).c_str(), Utf8ToWide(videoId).c_str(),
                result);
  }
  AppendChatText(line.str(), true, L"", L"");
}

void CMeetingMainWnd::OnRemoteVideoRemoved(const RemoteVideoRecord& record) {
  const std::string userId = record.userId.c_str();
  const std::string videoId = record.videoId.c_str();
  const bool screen = videoId == kScreenShareVideoId;
  CVideoPanelLayoutUI* layout = screen ? m_pScreenShareLayout : m_pVideoLayout;
  if (layout) layout->RemoveRemoteVideo(userId, videoId);
  SetUserMediaIcon(userId, screen ? 3 : 2, false);
}

void CMeetingMainWnd::OnRemoteControl(const RemoteControlRecord& record) {
  const std::wstring user = Utf8ToWide(record.userId.c_str());
  // Ids that do not fit the 128-character buffer are shown as an empty text.
  const std::wstring shown = user.size() < 128 ? user : std::wstring();
  CDuiString text;
  switch (record.operation) {
    case 0: {
      text.Format(L"%ls 请求远程控制", shown.c_str());
      // Only "btn_ok" accepts; a box that could not open refuses, so the requester is answered.
      UINT answer = 0;
      auto* box = new CMessageBox;  // deletes itself when its window is gone
      // Without a window the box may have deleted itself already: it is not touched again.
      if (box->Create(m_hWnd, L"CDuiLoginWnd", UI_WNDSTYLE_FRAME, WS_EX_WINDOWEDGE)) {
        box->SetText(text.GetData());
        box->SetButtonTexts(L"接受", L"拒绝");
        box->CenterWindow();
        answer = box->ShowModal();
      }
      if (kiv::IKivEngine* engine = CSdkManager::GetInstance().GetEngine()) {
        engine->RemoteControlOperation(record.userId.c_str(),
                                       answer == 1 ? kiv::REMOTE_CONTROL_ACCEPT : kiv::REMOTE_CONTROL_REFUSE);
      }
      return;
    }
    case 1:
      text.Format(L"%ls 取消了远程控制", shown.c_str());
      break;
    case 2:
      text.Format(L"%ls 接受了远程控制", shown.c_str());
      break;
    case 3:
      text.Format(L"%ls 拒绝了远程控制", shown.c_str());
      break;
    default:
      return;
  }
  ShowMessageBox(m_hWnd, text.GetData());
}

void CMeetingMainWnd::OnCameraMenuItem(TNotifyUI& msg) {
  // Item clicks of this window's own lists arrive here too: only camera menu elements count.
  if (!msg.pSender || !msg.pSender->GetInterface(L"MenuElement")) return;
  const auto index = media_settings::IndexAfterPrefix(msg.pSender->GetName().GetData(), L"cam_");
  if (!index) return;
  CSdkManager& sdk = CSdkManager::GetInstance();
  const std::string videoId = "LocalCam_" + std::to_string(*index);
  auto panelShowing = [this](int camera) -> CVideoPanelUI* {
    for (int i = 0; m_pVideoLayout && i < 2; ++i) {
      CVideoPanelUI* panel = m_pVideoLayout->GetPanel(i);
      if (panel && panel->GetCameraIndex() == camera) return panel;
    }
    return nullptr;
  };
  if (m_publishedCameras.count(*index) == 0) {
    CVideoPanelUI* panel = m_pVideoLayout ? m_pVideoLayout->FirstIdlePanel() : nullptr;
    if (!panel) return;
    panel->SetVisible(true);
    if (!panel->StartLocalPreview(*index)) return;
    m_publishedCameras.insert(*index);
    const int result = sdk.StartPublishVideo(videoId.c_str(), *index);
    if (result != 0) AppendChatText(L"广播摄像头失败 错误码" + std::to_wstring(result), true, L"", L"");
    if (CVideoPanelUI* showing = panelShowing(*index)) showing->SetVideoId(videoId);
    SetUserMediaIcon(sdk.GetUserId(), 2, true);
  } else {
    m_publishedCameras.erase(*index);
    if (CVideoPanelUI* showing = panelShowing(*index)) {
      showing->SetVisible(false);
      showing->StopLocalPreview();
    } else if (m_pVideoLayout) {
      m_pVideoLayout->UpdateRenderWindows();
    }
    sdk.StopPublishVideo(videoId.c_str());
    SetUserMediaIcon(sdk.GetUserId(), 2, false);
  }
  SetCameraButtonImages(!m_publishedCameras.empty());
}

void CMeetingMainWnd::ShowCameraMenu(TNotifyUI& msg) {
  kiv::IKivEngine* engine = CSdkManager::GetInstance().GetEngine();
  kiv::IDeviceManager* devices = engine ? engine->GetDeviceManager() : nullptr;
  if (!devices || !msg.pSender) return;
  kiv::Vector<kiv::DeviceInfo> cameras = devices->GetCameraDevices();
  MenuItemList items;
  items.parent = m_hWnd;
  items.itemWidth = kCameraMenuItemWidth;
  items.itemHeight = kCameraMenuItemHeight;
  for (int i = 0; i < static_cast<int>(cameras.size()); ++i) {
    std::wstring text = Utf8ToWide(cameras[i].name.c_str());
    if (text.size() > 127) text.resize(127);
    items.AddItem(L"cam_menu_" + std::to_wstring(i), L"cam_" + std::to_wstring(i), text,
                  m_publishedCameras.count(i) != 0);
  }
  const RECT sender = msg.pSender->GetPos();
  POINT point{(sender.left + sender.right) / 2 - kCameraMenuItemWidth / 2,
              sender.top - static_cast<int>(items.items.size()) * kCameraMenuItemHeight - 5};
  ::ClientToScreen(m_hWnd, &point);
  auto* menu = new CMenuWnd(m_hWnd);  // deletes itself when closed or when it cannot open
  if (!menu->Init(nullptr, nullptr, L"popup_menu.xml", L"xml", 6, point.x, point.y)) return;
  items.BuildInto(menu, menu->GetRoot());
  menu->ResizeMenu();
  menu->GetPaintManager().AddNotifier(this);
}

LRESULT CMeetingMainWnd::HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
  bHandled = FALSE;  // the library's default handling follows every message
  switch (uMsg) {
    case WM_GETMINMAXINFO: {
      if (!m_bInitialized) return 0;
      RECT work = {};
      if (lParam && ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) {
        reinterpret_cast<LPMINMAXINFO>(lParam)->ptMaxSize.y = work.bottom - work.top;
      }
      return 0;
    }
    case WM_MOVE:
      if (!m_bInitialized) return 0;
      if (m_pVideoLayout) m_pVideoLayout->UpdateRenderWindows();
      if (m_pScreenShareLayout) m_pScreenShareLayout->UpdateRenderWindows();
      return 0;
    case WM_TIMER:
      if (!m_bInitialized) return 0;
      if (m_pVideoLayout) m_pVideoLayout->UpdateVideoInfo();
      if (m_pScreenShareLayout) m_pScreenShareLayout->UpdateVideoInfo();
      return 0;
    case WM_SDK_REMOTE_VIDEO_ADDED:
    case WM_SDK_REMOTE_VIDEO_REMOVED: {
      auto record = kiv_common::TakePosted<RemoteVideoRecord>(wParam);
      if (!m_bInitialized || !record) return 0;
      if (uMsg == WM_SDK_REMOTE_VIDEO_ADDED) {
        OnRemoteVideoAdded(*record);
      } else {
        OnRemoteVideoRemoved(*record);
      }
      return 0;
    }
    case WM_SDK_DEVICE_CHANGED:
      if (m_bInitialized && m_pSettingWnd) m_pSettingWnd->RefreshDevices();
      return 0;
    case WM_SDK_REMOTE_AUDIO_ADDED:
    case WM_SDK_REMOTE_AUDIO_REMOVED: {
      auto record = kiv_common::TakePosted<RemoteAudioRecord>(wParam);
      if (m_bInitialized && record) SetUserMediaIcon(record->userId.c_str(), 1, uMsg == WM_SDK_REMOTE_AUDIO_ADDED);
      return 0;
    }
    case WM_SDK_REMOTE_CONTROL: {
      auto record = kiv_common::TakePosted<RemoteControlRecord>(wParam);
      if (m_bInitialized && record) OnRemoteControl(*record);
      return 0;
    }
    case WM_SDK_CHAT_MESSAGE: {
      auto record = kiv_common::TakePosted<ChatMessageRecord>(wParam);
      if (m_bInitialized && record) {
        AppendChatText(Utf8ToWide(record->text), false, Utf8ToWide(record->sender),
                       record->groupFlag ? kAllUsers : L"我");
      }
      return 0;
    }
    case WM_SDK_USER_JOINED: {
      auto record = kiv_common::TakePosted<UserRecord>(wParam);
      if (!m_bInitialized || !record) return 0;
      AddUserItem(record->userId);
      auto* combo = static_cast<CComboUI*>(m_pm.FindControl(L"main_msg_selectuser"));
      if (combo) {
        auto item = std::make_unique<CListLabelElementUI>();
        item->SetText(Utf8ToWide(record->userId).c_str());
        const int count = combo->GetCount();
        item->SetTag(static_cast<UINT_PTR>(count));
        if (combo->AddAt(item.get(), count > 0 ? count - 1 : 0)) (void)item.release();  // the combo owns it now
      }
      return 0;
    }
    case WM_SDK_USER_LEFT: {
      auto record = kiv_common::TakePosted<UserRecord>(wParam);
      if (!m_bInitialized || !record) return 0;
      RemoveUserItem(record->userId);
      RemoveChatTarget(record->userId);
      return 0;
    }
    default:
      return 0;
  }
}
