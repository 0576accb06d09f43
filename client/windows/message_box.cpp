#include "windows/message_box.h"

using namespace DuiLib;

DUI_BEGIN_MESSAGE_MAP(CMessageBox, WindowImplBase)
DUI_ON_MSGTYPE(DUI_MSGTYPE_CLICK, OnClick)
DUI_END_MESSAGE_MAP()

void CMessageBox::OnClick(TNotifyUI& msg) {
  if (!msg.pSender) return;
  const CDuiString name = msg.pSender->GetName();
  if (name == L"btn_ok") {
    Close(1);
  } else if (name == L"btn_cancel") {
    Close(2);
  }
}

void CMessageBox::OnFinalMessage(HWND hWnd) {
  WindowImplBase::OnFinalMessage(hWnd);
  delete this;
}

void CMessageBox::SetText(LPCWSTR text) {
  if (CControlUI* label = m_pm.FindControl(L"label_text")) label->SetText(text ? text : L"");
}

void CMessageBox::SetButtonTexts(LPCWSTR ok, LPCWSTR cancel) {
  if (CControlUI* button = m_pm.FindControl(L"btn_ok")) button->SetText(ok);
  if (CControlUI* button = m_pm.FindControl(L"btn_cancel")) button->SetText(cancel);
}

void ShowMessageBox(HWND owner, LPCWSTR text) {
  auto* box = new CMessageBox;
  // Without a window the box is not touched again: it may have deleted itself already.
  if (!box->Create(owner, L"CDuiLoginWnd", UI_WNDSTYLE_FRAME, WS_EX_WINDOWEDGE)) return;
  box->SetText(text);
  box->CenterWindow();
  box->ShowModal();
}
