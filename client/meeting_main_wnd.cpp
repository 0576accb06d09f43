#include "meeting_main_wnd.h"

#include <ctime>
#include <memory>

#include "message_box.h"
#include "sdk_manager.h"
#include "text_codec.h"

using namespace DuiLib;

namespace {

constexpr wchar_t kAllUsers[] = L"所有人";

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
DUI_END_MESSAGE_MAP()

void CMeetingMainWnd::InitWindow() {
  m_bInitialized = true;
  m_shadow.Create(m_hWnd);
  m_shadow.SetImage(L"img\\wnd_bg.png");
  m_shadow.SetShadowCorner(RECT{6, 6, 6, 6});
  m_shadow.SetHoleOffset(RECT{7, 7, 7, 7});
}

LRESULT CMeetingMainWnd::OnDestroy(UINT, WPARAM, LPARAM, BOOL& bHandled) {
  ::PostQuitMessage(0);
  bHandled = FALSE;
  return 0;
}

void CMeetingMainWnd::OnClick(TNotifyUI& msg) { WindowImplBase::OnClick(msg); }

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
  line.Format(answer.accepted ? L"%s 已同意加入组" : L"%s 拒绝加入组", Utf8ToWide(answer.userId).c_str());
  AppendChatText(line.str(), true, L"", L"");
}

void CMeetingMainWnd::PostChatMessage(const char* sender, const char* text, int groupFlag) {
  PostChatMessage(m_hWnd, sender, text, groupFlag);
}

void CMeetingMainWnd::PostChatMessage(HWND window, const char* sender, const char* text, int groupFlag) {
  PostRecord(window, WM_SDK_CHAT_MESSAGE, new ChatMessageRecord{sender ? sender : "", text ? text : "", groupFlag});
}

void CMeetingMainWnd::SetCameraButtonImages(bool on) {
  CControlUI* cam = m_pm.FindControl(L"btn_cam");
  if (on) {
    SetButtonImages(cam, L"img\\LawIcon\\摄像头_Press.png", L"img\\LawIcon\\摄像头_HL.png", L"img\\LawIcon\\摄像头.png");
  } else {
    SetButtonImages(cam, L"img\\LawIcon\\摄像头.png", L"img\\LawIcon\\摄像头_HL.png", L"img\\LawIcon\\摄像头_Press.png");
  }
}

void CMeetingMainWnd::SetMicButtonImages(bool on) {
  CControlUI* mic = m_pm.FindControl(L"btn_mic");
  if (on) {
    SetButtonImages(mic, L"img\\LawIcon\\麦克风_Press.png", L"img\\LawIcon\\麦克风_HL.png", L"img\\LawIcon\\麦克风.png");
  } else {
    SetButtonImages(mic, L"img\\LawIcon\\麦克风.png", L"img\\LawIcon\\麦克风_HL.png", L"img\\LawIcon\\麦克风_Press.png");
  }
}

void CMeetingMainWnd::ResetMediaState() {
  SetCameraButtonImages(false);
  SetMicButtonImages(false);
}

LRESULT CMeetingMainWnd::HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
  bHandled = FALSE;  // the library's default handling follows every message
  switch (uMsg) {
    case WM_GETMINMAXINFO: {
      RECT work = {};
      if (lParam && ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) {
        reinterpret_cast<LPMINMAXINFO>(lParam)->ptMaxSize.y = work.bottom - work.top;
      }
      return 0;
    }
    case WM_SDK_REMOTE_VIDEO_ADDED:
    case WM_SDK_REMOTE_VIDEO_REMOVED:
      delete reinterpret_cast<RemoteVideoRecord*>(wParam);
      return 0;
    case WM_SDK_REMOTE_AUDIO_ADDED:
    case WM_SDK_REMOTE_AUDIO_REMOVED: {
      std::unique_ptr<RemoteAudioRecord> record(reinterpret_cast<RemoteAudioRecord*>(wParam));
      if (m_bInitialized && record) SetUserMediaIcon(record->userId.c_str(), 1, uMsg == WM_SDK_REMOTE_AUDIO_ADDED);
      return 0;
    }
    case WM_SDK_REMOTE_CONTROL:
      delete reinterpret_cast<RemoteControlRecord*>(wParam);
      return 0;
    case WM_SDK_CHAT_MESSAGE: {
      std::unique_ptr<ChatMessageRecord> record(reinterpret_cast<ChatMessageRecord*>(wParam));
      if (m_bInitialized && record) {
        AppendChatText(Utf8ToWide(record->text), false, Utf8ToWide(record->sender),
                       record->groupFlag ? kAllUsers : L"我");
      }
      return 0;
    }
    case WM_SDK_USER_JOINED: {
      std::unique_ptr<UserRecord> record(reinterpret_cast<UserRecord*>(wParam));
      if (!m_bInitialized || !record) return 0;
      AddUserItem(record->userId);
      auto* combo = static_cast<CComboUI*>(m_pm.FindControl(L"main_msg_selectuser"));
      if (combo) {
        auto* item = new CListLabelElementUI;
        item->SetText(Utf8ToWide(record->userId).c_str());
        const int count = combo->GetCount();
        item->SetTag(static_cast<UINT_PTR>(count));
        if (!combo->AddAt(item, count > 0 ? count - 1 : 0)) delete item;
      }
      return 0;
    }
    case WM_SDK_USER_LEFT: {
      std::unique_ptr<UserRecord> record(reinterpret_cast<UserRecord*>(wParam));
      if (!m_bInitialized || !record) return 0;
      RemoveUserItem(record->userId);
      RemoveChatTarget(record->userId);
      return 0;
    }
    default:
      return 0;
  }
}
