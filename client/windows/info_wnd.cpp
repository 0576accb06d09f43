#include "windows/info_wnd.h"

#include <string>

#include "sdk_glue/sdk_manager.h"
#include "text_codec.h"
#include "windows/message_box.h"
#include "windows/window_stacking.h"

using namespace DuiLib;

DUI_BEGIN_MESSAGE_MAP(CInfoWnd, WindowImplBase)
DUI_ON_MSGTYPE(DUI_MSGTYPE_CLICK, OnClick)
DUI_END_MESSAGE_MAP()

void CInfoWnd::InitWindow() {
  SetIcon(130);
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
    }
  } else if (name == L"btn_bottom_invite" || name == L"btn_online_callIn") {
    // No invitation is sent from here.
  } else if (name == L"CloseBtn") {
    ShowWindow(false);
  } else {
    WindowImplBase::OnClick(msg);
  }
}

void CInfoWnd::Notify(TNotifyUI& msg) {
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
  // A window whose creation fails ends nothing: its creator reports the failure.
  if (WasCreated()) ::PostQuitMessage(0);
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
  if (CControlUI* join = m_pm.FindControl(L"User_stat_jornGroup")) join->SetVisible(false);
  if (CControlUI* callIn = m_pm.FindControl(L"user_stat_CallIn")) callIn->SetVisible(true);
  ShowWindow(true, true);
  RaiseAboveOwner(m_hWnd);
}
