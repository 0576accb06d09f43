#include "windows/meeting_windows.h"

#include "text_codec.h"
#include "windows/info_wnd.h"
#include "windows/meeting_main_wnd.h"
#include "windows/message_box.h"

using namespace DuiLib;

std::unique_ptr<IMeetingWindows> CMeetingWindows::Make() { return std::make_unique<CMeetingWindows>(); }

CMeetingWindows::CMeetingWindows() = default;

CMeetingWindows::~CMeetingWindows() { Destroy(); }

bool CMeetingWindows::Create() {
  m_createFailure.clear();
  if (!m_pMainWnd) {
    auto main = std::make_unique<CMeetingMainWnd>();
    if (!main->Create(nullptr, L"Main", UI_WNDSTYLE_FRAME, WS_EX_WINDOWEDGE, CW_USEDEFAULT, CW_USEDEFAULT,
                      CW_USEDEFAULT, CW_USEDEFAULT)) {
      m_createFailure = L"主窗口无法创建（skin\\meeting_main_wnd.xml）";
      return false;
    }
    m_pMainWnd = std::move(main);
  }
  if (!m_pInfoWnd) {
    auto* info = new CInfoWnd;  // deletes itself when its window is gone, also when it cannot be made
    if (!info->Create(m_pMainWnd->GetHWND(), L"userInfo",
                      WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0)) {
      m_createFailure = L"信息窗口无法创建（skin\\InfoWnd.xml）";
      return false;
    }
    m_pInfoWnd = info;
  }
  ::SetWindowPos(m_pMainWnd->GetHWND(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  return true;
}

void CMeetingWindows::Destroy() {
  if (m_pMainWnd) {
    HWND main = m_pMainWnd->GetHWND();
    if (main && ::IsWindow(main)) ::DestroyWindow(main);  // takes the owned information window along
    m_pMainWnd.reset();
  }
  if (m_pInfoWnd && ::IsWindow(m_pInfoWnd->GetHWND())) ::DestroyWindow(m_pInfoWnd->GetHWND());
  m_pInfoWnd = nullptr;
}

void CMeetingWindows::OnInfoWndGone(CInfoWnd* wnd) {
  if (m_pInfoWnd == wnd) m_pInfoWnd = nullptr;
}

HWND CMeetingWindows::MainHandle() const { return m_pMainWnd ? m_pMainWnd->GetHWND() : nullptr; }

void CMeetingWindows::Hide() {
  if (m_pMainWnd) m_pMainWnd->ShowWindow(false);
  if (m_pInfoWnd) m_pInfoWnd->ShowWindow(false);
}

void CMeetingWindows::ShowMessage(LPCWSTR text) { ShowMessageBox(MainHandle(), text); }

void CMeetingWindows::ShowJoined(const std::string& groupId) {
  if (!m_pMainWnd) return;
  m_pMainWnd->CenterWindow();
  m_pMainWnd->ShowWindow(true);
  CControlUI* label = m_pMainWnd->GetPaintManager().FindControl(L"label_group_info");
  if (label) {
    CDuiString text;
    text.Format(L"分组ID：%ls", Utf8ToWide(groupId).c_str());
    label->SetText(text);
  }
}

void CMeetingWindows::ShowInviteAnswer(const InviteAnswerRecord& answer) {
  if (m_pMainWnd) m_pMainWnd->ShowInviteAnswer(answer);
}

void CMeetingWindows::SyncUsers(const std::vector<std::string>& userIds) {
  if (!m_pMainWnd) return;
  m_pMainWnd->SyncUserList(userIds);
  m_pMainWnd->RefreshChatTargets(userIds);
}

void CMeetingWindows::ShowJoinFailed(const std::wstring& errorText) {
  if (m_pInfoWnd) m_pInfoWnd->OnJoinFailed(errorText.c_str());
}

void CMeetingWindows::ShowConnectionLost() {
  if (!m_pMainWnd) return;
  m_pMainWnd->ResetMediaState();
}
