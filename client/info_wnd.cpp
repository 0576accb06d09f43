#include "info_wnd.h"

#include <string>

#include "meeting_main_wnd.h"
#include "message_box.h"
#include "sdk_manager.h"
#include "text_codec.h"
#include "window_stacking.h"

using namespace DuiLib;

DUI_BEGIN_MESSAGE_MAP(CInfoWnd, WindowImplBase)
DUI_ON_MSGTYPE(DUI_MSGTYPE_CLICK, OnClick)
DUI_END_MESSAGE_MAP()

void CInfoWnd::InitWindow() {
  m_shadow.Create(m_hWnd);
  m_shadow.SetImage(L"img\\wnd_bg.png");
  m_shadow.SetShadowCorner(RECT{6, 6, 6, 6});
  m_shadow.SetHoleOffset(RECT{7, 7, 7, 7});
}

void CInfoWnd::OnClick(TNotifyUI& msg) {
  if (!msg.pSender) return;
  const CDuiString name = msg.pSender->GetName();
  if (name == L"btn_joingroup") {
    CControlUI* edit = m_pm.FindControl(L"edit_groupid");
    CDuiString group = edit ? edit->GetText() : CDuiString();
    if (group.IsEmpty() || group.GetLength() > 32) {
      ShowMessageBox(m_hWnd, L"GroupId不能为空且长度不超过32");
      return;
    }
    int code = CSdkManager::GetInstance().JoinGroup(group);
    if (code != 0) {
      ShowMessageBox(m_hWnd, (L"加入组失败：" + CSdkManager::GetErrorText(code)).c_str());
    } else {
      msg.pSender->SetEnabled(false);
      msg.pSender->SetText(L"正在加入组...");
      if (AnyUserChecked()) InviteCheckedUsers();
    }
  } else if (name == L"btn_bottom_invite" || name == L"btn_online_callIn") {
    InviteCheckedUsers();
  } else if (name == L"CloseBtn") {
    ShowWindow(false);
  } else {
    WindowImplBase::OnClick(msg);
  }
}

void CInfoWnd::Notify(TNotifyUI& msg) {
  if (msg.pSender && msg.sType == DUI_MSGTYPE_SELECTCHANGED &&
      (msg.pSender->GetName() == L"check_user_select" || msg.pSender->GetName() == L"btn_selectAll")) {
    UpdateJoinButtons();
  }
  if (msg.pSender) {
    const CDuiString name = msg.pSender->GetName();
    if (msg.sType == DUI_MSGTYPE_ITEMCLICK && msg.pSender->GetInterface(L"ListItem")) {
      auto* check = static_cast<CCheckBoxUI*>(m_pm.FindSubControlByName(msg.pSender, L"check_user_select"));
      if (check) check->SetCheck(!check->GetCheck(), true);
    } else if (msg.sType == DUI_MSGTYPE_SELECTCHANGED && name == L"btn_selectAll") {
      auto* all = static_cast<COptionUI*>(msg.pSender->GetInterface(L"Option"));
      auto* list = static_cast<CListUI*>(m_pm.FindControl(L"list_users"));
      if (all && list) {
        for (int i = 0; i < list->GetCount(); ++i) {
          auto* check = static_cast<CCheckBoxUI*>(m_pm.FindSubControlByName(list->GetItemAt(i), L"check_user_select"));
          if (check) check->SetCheck(all->IsSelected(), true);
        }
      }
    } else if (msg.sType == DUI_MSGTYPE_KILLFOCUS && name == L"edit_finduser") {
      msg.pSender->SetAttribute(L"bkimage", msg.pSender->GetText().IsEmpty() ? L"img\\user_find_KillFocus.png"
                                                                             : L"img\\user_find_SetFocus.png");
    }
  }
  WindowImplBase::Notify(msg);
}

LRESULT CInfoWnd::OnDestroy(UINT, WPARAM, LPARAM, BOOL& bHandled) {
  ::PostQuitMessage(0);
  bHandled = FALSE;
  return 0;
}

void CInfoWnd::OnFinalMessage(HWND hWnd) {
  WindowImplBase::OnFinalMessage(hWnd);
  CSdkManager::GetInstance().OnInfoWndGone(this);
  delete this;
}

void CInfoWnd::OnJoinFailed(LPCWSTR errorText) {
  UpdateJoinButtons();
  ShowMessageBox(m_hWnd, (std::wstring(L"加入组失败：") + (errorText ? errorText : L"")).c_str());
}

bool CInfoWnd::AnyUserChecked() {
  auto* list = static_cast<CListUI*>(m_pm.FindControl(L"list_users"));
  if (!list) return false;
  for (int i = 0; i < list->GetCount(); ++i) {
    auto* check = static_cast<CCheckBoxUI*>(m_pm.FindSubControlByName(list->GetItemAt(i), L"check_user_select"));
    if (check && check->GetCheck()) return true;
  }
  return false;
}

void CInfoWnd::UpdateJoinButtons() {
  CControlUI* join = m_pm.FindControl(L"btn_joingroup");
  if (join && join->IsVisible()) {
    join->SetText(AnyUserChecked() ? L"邀请并加入组" : L"加入组");
    join->SetEnabled(true);
    return;
  }
  CControlUI* callIn = m_pm.FindControl(L"btn_online_callIn");
  if (callIn && callIn->IsVisible()) callIn->SetEnabled(AnyUserChecked());
}

kiv::Vector<kiv::String> CInfoWnd::GetCheckedUsers() {
  kiv::Vector<kiv::String> users;
  auto* list = static_cast<CListUI*>(m_pm.FindControl(L"list_users"));
  if (!list) return users;
  for (int i = 0; i < list->GetCount(); ++i) {
    CControlUI* item = list->GetItemAt(i);
    auto* check = static_cast<CCheckBoxUI*>(m_pm.FindSubControlByName(item, L"check_user_select"));
    CControlUI* label = m_pm.FindSubControlByName(item, L"label_userid");
    if (check && label && check->GetCheck())
      users.push_back(kiv::String(WideToUtf8(label->GetUserData().GetData()).c_str()));
  }
  return users;
}

void CInfoWnd::ShowOnlineUsers(const std::vector<std::string>& userIds) {
  auto* list = static_cast<CListUI*>(m_pm.FindControl(L"list_users"));
  if (!list) return;
  const kiv::Vector<kiv::String> checked = GetCheckedUsers();
  auto wasChecked = [&checked](const std::string& id) {
    for (const kiv::String& c : checked) {
      if (id == c.c_str()) return true;
    }
    return false;
  };
  list->RemoveAll();
  for (const std::string& id : userIds) {
    CDialogBuilder builder;
    CControlUI* item = builder.Create(L"info_useritem.xml", nullptr, this, &m_pm);
    if (!item) return;
    if (CControlUI* label = m_pm.FindSubControlByName(item, L"label_userid")) {
      label->SetText(Utf8ToWide(id).c_str());
      label->SetUserData(Utf8ToWide(id).c_str());
    }
    if (!list->Add(item)) {
      delete item;
      continue;
    }
    if (auto* check = static_cast<CCheckBoxUI*>(m_pm.FindSubControlByName(item, L"check_user_select"))) {
      check->SetCheck(wasChecked(id), false);
    }
  }
  UpdateJoinButtons();
}

void CInfoWnd::InviteCheckedUsers() {
  CSdkManager& sdk = CSdkManager::GetInstance();
  kiv::Vector<kiv::String> users = GetCheckedUsers();
  kiv::IKivSignaling* signaling = sdk.GetSignaling();
  CMeetingMainWnd* main = sdk.GetMainWnd();
  if (users.empty()) {
    ShowMessageBox(m_hWnd, L"请先勾选要邀请的在线用户");
    return;
  }
  if (sdk.GetGroupId().empty()) {
    ShowMessageBox(m_hWnd, L"尚未加入组，无法邀请");
    return;
  }
  unsigned requestId = 0;
  const int result = signaling ? signaling->Invite(users, sdk.GetGroupId().c_str(), "", &requestId)
                               : static_cast<int>(kiv_core::ERR_INVALID_STATE);
  if (!main) return;
  std::wstring names;
  for (const kiv::String& user : users) names += (names.empty() ? L"" : L", ") + Utf8ToWide(user.c_str());
  main->AppendChatText(result == 0 ? L"已邀请 " + names : L"邀请失败 错误码" + std::to_wstring(result), true, L"", L"");
}

void CInfoWnd::ShowSection(LPCTSTR visibleSection) {
  const bool panel = _wcsicmp(visibleSection, L"InfoContent") == 0;
  for (LPCTSTR section : {L"InfoContent", L"User_stat_jornGroup", L"user_stat_CallIn"}) {
    if (CControlUI* control = m_pm.FindControl(section)) control->SetVisible(_wcsicmp(section, visibleSection) == 0);
  }
  if (CControlUI* users = m_pm.FindControl(L"user_list_section")) users->SetVisible(!panel);
}

void CInfoWnd::ShowInfoPanel(LPCTSTR title, LPCTSTR image) {
  ShowWindow(true, true);
  RaiseAboveOwner(m_hWnd);
  CenterWindow();
  ShowSection(L"InfoContent");
  if (CControlUI* content = m_pm.FindControl(L"InfoContent")) content->SetBkImage(image);
  if (CControlUI* label = m_pm.FindControl(L"InfoTitle")) label->SetText(title);
}

void CInfoWnd::ShowCallIn() {
  CenterWindow();
  ShowSection(L"user_stat_CallIn");
  if (CControlUI* label = m_pm.FindControl(L"InfoTitle")) label->SetText(L"在线用户");
  UpdateJoinButtons();
  ShowWindow(true, true);
  RaiseAboveOwner(m_hWnd);
}
