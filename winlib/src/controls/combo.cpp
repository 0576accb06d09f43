#include "winlib/combo.h"

#include "winlib/ui_probe.h"

#include <string>

#include "winlib/paint_manager.h"
#include "winlib/render_engine.h"
#include "winlib/skin_values.h"
#include "winlib/window_wnd.h"

namespace DuiLib {

// The popup list of a combo: a borderless top-most window with its own paint manager
// holding a list of copies of the combo's item texts. It deletes itself when closed.
class CComboWnd : public CWindowWnd, public INotifyUI {
 public:
  explicit CComboWnd(CComboUI* owner) : m_pOwner(owner) {}

  // False when the window cannot be made: then this object is gone.
  bool Open() {
    RECT rc = m_pOwner->GetPos();
    HWND parent = m_pOwner->GetManager()->GetPaintWindow();
    POINT pt{rc.left, rc.bottom};
    ::ClientToScreen(parent, &pt);
    TListInfoUI* info = m_pOwner->GetListInfo();
    int item_height = info->iItemHeight > 0 ? info->iItemHeight : 28;
    int height = item_height * m_pOwner->GetCount() + 2;
    if (height > m_pOwner->m_iDropBoxHeight) height = m_pOwner->m_iDropBoxHeight;
    if (height < item_height + 2) height = item_height + 2;
    if (!Create(parent, L"", WS_POPUP | WS_CLIPCHILDREN, WS_EX_TOOLWINDOW | WS_EX_TOPMOST, pt.x, pt.y,
                rc.right - rc.left, height)) {
      return false;
    }
    ::ShowWindow(m_hWnd, SW_SHOW);
    ::SetFocus(m_hWnd);
    return true;
  }

  LPCTSTR GetWindowClassName() const override { return L"ComboWnd"; }

  void Notify(TNotifyUI& msg) override {
    if (msg.sType == DUI_MSGTYPE_ITEMCLICK && m_pOwner && msg.pSender) {
      auto* item = static_cast<IListItemUI*>(msg.pSender->GetInterface(L"ListItem"));
      if (item) m_chosen = item->GetIndex();
      ::PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
    }
  }

  void Detach() { m_pOwner = nullptr; }

  // The owner's items changed under the copies: the rows no longer match them, so the
  // popup goes without applying a row (also one clicked whose close is still queued).
  void Abandon() {
    CComboUI* owner = m_pOwner;
    m_pOwner = nullptr;
    if (!m_hWnd) return;
    const bool focused = ::GetFocus() == m_hWnd;
    ::ShowWindow(m_hWnd, SW_HIDE);
    if (focused && owner && owner->GetManager()) ::SetFocus(owner->GetManager()->GetPaintWindow());
    Close();
  }

 protected:
  LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override {
    if (uMsg == WM_COPYDATA && AnswerUiProbe(m_pm, m_hWnd, wParam, lParam)) return TRUE;
    if (uMsg == WM_CREATE) {
      m_pm.Init(m_hWnd);
      CopyFonts();
      auto* list = new CListUI;
      list->SetName(L"dropdown_list");
      *list->GetListInfo() = *m_pOwner->GetListInfo();
      list->SetBkColor(0xFFFFFFFF);
      list->SetBorderColor(0xFFC8CDD4);
      list->SetBorderSize(1);
      list->SetInset(RECT{1, 1, 1, 1});
      TListInfoUI* info = m_pOwner->GetListInfo();
      int item_height = info->iItemHeight > 0 ? info->iItemHeight : 28;
      for (int i = 0; i < m_pOwner->GetCount(); ++i) {
        auto* copy = new CListLabelElementUI;
        CControlUI* source = m_pOwner->GetItemAt(i);
        copy->SetText(source ? source->GetText().GetData() : L"");
        copy->SetFixedHeight(item_height);
        list->Add(copy);
      }
      m_pm.AttachDialog(list);
      m_pm.AddNotifier(this);
      if (m_pOwner->GetCurSel() >= 0) list->SelectItem(m_pOwner->GetCurSel(), false, false);
      return 0;
    }
    if (uMsg == WM_KILLFOCUS && reinterpret_cast<HWND>(wParam) != m_hWnd) {
      ::PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
    } else if (uMsg == WM_KEYDOWN && wParam == VK_ESCAPE) {
      ::PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
      return 0;
    } else if (uMsg == WM_CLOSE) {
      CComboUI* owner = m_pOwner;
      int chosen = m_chosen;
      if (owner) {
        owner->OnDropDownGone();
        m_pOwner = nullptr;
        if (owner->GetManager()) ::SetFocus(owner->GetManager()->GetPaintWindow());
        if (chosen >= 0) owner->SelectItem(chosen, false, true);
      }
    }
    LRESULT lRes = 0;
    if (m_pm.MessageHandler(uMsg, wParam, lParam, lRes)) return lRes;
    return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
  }

  void OnFinalMessage(HWND) override {
    if (m_pOwner) m_pOwner->OnDropDownGone();
    delete this;
  }

 private:
  void CopyFonts() {
    CPaintManagerUI* source = m_pOwner->GetManager();
    const TFontInfo* f = source->GetFontInfo(m_pOwner->GetListInfo()->nFont);
    m_pm.AddFont(m_pOwner->GetListInfo()->nFont, f->family.c_str(), f->size, f->bold, f->underline, f->italic, true);
    m_pm.SetResourcePath(source->GetResourcePath());
  }

  CComboUI* m_pOwner;
  int m_chosen = -1;
  CPaintManagerUI m_pm;
};

CComboUI::CComboUI() {
  m_nBorderSize = 1;
  m_dwBorderColor = 0xFFC8CDD4;
  m_dwBackColor = 0xFFFFFFFF;
}

CComboUI::~CComboUI() {
  if (m_pWindow) {
    m_pWindow->Detach();
    HWND h = m_pWindow->GetHWND();
    m_pWindow = nullptr;
    if (::IsWindow(h)) ::DestroyWindow(h);
  }
}

LPCTSTR CComboUI::GetClass() const { return L"ComboUI"; }

LPVOID CComboUI::GetInterface(LPCTSTR pstrName) {
  if (_wcsicmp(pstrName, L"Combo") == 0) return static_cast<CComboUI*>(this);
  if (_wcsicmp(pstrName, L"IListOwner") == 0) return static_cast<IListOwnerUI*>(this);
  return CContainerUI::GetInterface(pstrName);
}

UINT CComboUI::GetControlFlags() const { return IsEnabled() ? (UIFLAG_TABSTOP | UIFLAG_SETCURSOR) : 0; }

CDuiString CComboUI::GetText() const {
  CControlUI* item = GetItemAt(m_iCurSel);
  return item ? item->GetText() : CDuiString();
}

bool CComboUI::AddAt(CControlUI* pControl, int iIndex) {
  if (!pControl || !pControl->GetInterface(L"ListItem")) return false;
  if (!CContainerUI::AddAt(pControl, iIndex)) return false;
  AbandonDropDown();
  if (m_iCurSel >= iIndex && m_iCurSel >= 0) ++m_iCurSel;
  ListSyncItems(this, this);
  Invalidate();
  return true;
}

bool CComboUI::RemoveAt(int iIndex, bool bDoNotDestroy) {
  CControlUI* c = GetItemAt(iIndex);
  if (!c) return false;
  ListDetachItem(c);
  if (!CContainerUI::RemoveAt(iIndex, bDoNotDestroy)) return false;
  AbandonDropDown();
  m_iCurSel = ListSelectionAfterRemove(m_iCurSel, iIndex);
  ListSyncItems(this, this);
  Invalidate();
  return true;
}

void CComboUI::RemoveAll() {
  AbandonDropDown();
  ListDetachItems(this);
  m_iCurSel = -1;
  CContainerUI::RemoveAll();
  Invalidate();
}

bool CComboUI::SetItemIndex(CControlUI* pControl, int iIndex) {
  if (!ListMoveItem(this, this, pControl, iIndex, &m_iCurSel)) return false;
  AbandonDropDown();
  return true;
}

bool CComboUI::SelectItem(int iIndex, bool bTakeFocus, bool bTriggerEvent) {
  if (iIndex == m_iCurSel) return true;
  int old = m_iCurSel;
  if (m_iCurSel >= 0) {
    auto* item = static_cast<IListItemUI*>(GetItemAt(m_iCurSel)->GetInterface(L"ListItem"));
    m_iCurSel = -1;
    if (item) item->Select(false, bTriggerEvent);
  }
  if (iIndex < 0 || iIndex >= GetCount()) {
    Invalidate();
    return false;
  }
  auto* item = static_cast<IListItemUI*>(GetItemAt(iIndex)->GetInterface(L"ListItem"));
  if (!item) return false;
  m_iCurSel = iIndex;
  item->Select(true, bTriggerEvent);
  if (bTakeFocus) SetFocus();
  Invalidate();
  if (bTriggerEvent && m_pManager)
    m_pManager->SendNotify(this, DUI_MSGTYPE_ITEMSELECT, static_cast<WPARAM>(iIndex), old);
  return true;
}

bool CComboUI::Activate() {
  if (!CControlUI::Activate() || m_pWindow || !m_pManager) return false;
  m_pWindow = new CComboWnd(this);  // deletes itself when its window is gone
  if (!m_pWindow->Open()) {
    m_pWindow = nullptr;
    return false;
  }
  if (m_pManager) m_pManager->SendNotify(this, DUI_MSGTYPE_DROPDOWN);
  return true;
}

void CComboUI::CloseDropDown() {
  if (m_pWindow) m_pWindow->Close();
}

void CComboUI::AbandonDropDown() {
  CComboWnd* window = m_pWindow;
  m_pWindow = nullptr;
  if (window) window->Abandon();
}

void CComboUI::SetPos(RECT rc, bool bNeedInvalidate) {
  CControlUI::SetPos(rc, bNeedInvalidate);  // the items live in the popup, not here
}

void CComboUI::SetInternVisible(bool bVisible) { CControlUI::SetInternVisible(bVisible); }

CControlUI* CComboUI::FindControl(FINDCONTROLPROC Proc, LPVOID pData, UINT uFlags) {
  if (uFlags & UIFIND_HITTEST) return CControlUI::FindControl(Proc, pData, uFlags);
  return CContainerUI::FindControl(Proc, pData, uFlags);
}

void CComboUI::DoEvent(TEventUI& event) {
  switch (event.Type) {
    case UIEVENT_BUTTONDOWN:
      if (IsEnabled()) Activate();
      return;
    case UIEVENT_MOUSEENTER:
      m_bHot = true;
      Invalidate();
      return;
    case UIEVENT_MOUSELEAVE:
      m_bHot = false;
      Invalidate();
      return;
    case UIEVENT_SETCURSOR:
      ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
      return;
    case UIEVENT_KEYDOWN:
      if (event.chKey == VK_UP && m_iCurSel > 0) {
        SelectItem(m_iCurSel - 1);
        return;
      }
      if (event.chKey == VK_DOWN && m_iCurSel + 1 < GetCount()) {
        SelectItem(m_iCurSel + 1);
        return;
      }
      break;
    case UIEVENT_BUTTONUP:
    case UIEVENT_MOUSEMOVE:
      return;
    default:
      break;
  }
  CControlUI::DoEvent(event);
}

void CComboUI::DoPaint(HDC hDC, const RECT& rcPaint) {
  if (!::IntersectRect(&m_rcPaint, &rcPaint, &m_rcItem)) return;
  PaintBkColor(hDC);
  PaintBkImage(hDC);
  RECT text = m_rcItem;
  text.left += m_rcTextPadding.left;
  text.right -= m_rcTextPadding.right;
  text.top += m_rcTextPadding.top;
  text.bottom -= m_rcTextPadding.bottom;
  CRenderEngine::DrawText(hDC, m_pManager, text, GetText(), IsEnabled() ? m_dwTextColor : 0xFFA0A0A0, m_iFont,
                          DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);
  // Down arrow.
  int cx = m_rcItem.right - 13, cy = (m_rcItem.top + m_rcItem.bottom) / 2;
  DWORD arrow = IsEnabled() ? (m_bHot ? 0xFF2D7FF9 : 0xFF7A8494) : 0xFFC0C0C0;
  CRenderEngine::DrawLine(hDC, cx - 4, cy - 2, cx, cy + 2, 2, arrow);
  CRenderEngine::DrawLine(hDC, cx, cy + 2, cx + 4, cy - 2, 2, arrow);
  DWORD saved = m_dwBorderColor;
  if (m_bHot && IsEnabled()) m_dwBorderColor = 0xFF2D7FF9;
  PaintBorder(hDC);
  m_dwBorderColor = saved;
}

void CComboUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
  if (ApplyListInfoAttribute(&m_ListInfo, pstrName, pstrValue)) return;
  const std::wstring name(pstrName), value(pstrValue);
  SkinRect r;
  if (EqualsNoCase(name, L"dropboxsize") || EqualsNoCase(name, L"dropboxheight")) {
    SkinSize s;
    if (ParseSize(value, &s)) m_iDropBoxHeight = s.cy > 0 ? s.cy : s.cx;
  } else if (EqualsNoCase(name, L"textpadding")) {
    if (ParseRect(value, &r)) m_rcTextPadding = RECT{r.left, r.top, r.right, r.bottom};
  } else if (EqualsNoCase(name, L"textcolor")) {
    m_dwTextColor = ParseColor(value, m_dwTextColor);
  } else if (EqualsNoCase(name, L"font")) {
    m_iFont = ParseInt(value, -1);
  } else {
    CContainerUI::SetAttribute(pstrName, pstrValue);
  }
}

}  // namespace DuiLib
