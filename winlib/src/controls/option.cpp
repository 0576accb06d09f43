#include "winlib/option.h"

#include <string>

#include "winlib/paint_manager.h"
#include "winlib/render_engine.h"
#include "winlib/skin_values.h"

namespace DuiLib {

COptionUI::~COptionUI() {
  if (!m_sGroupName.IsEmpty() && m_pManager) m_pManager->RemoveOptionGroup(m_sGroupName, this);
}

LPCTSTR COptionUI::GetClass() const { return L"OptionUI"; }

LPVOID COptionUI::GetInterface(LPCTSTR pstrName) {
  if (_wcsicmp(pstrName, L"Option") == 0) return static_cast<COptionUI*>(this);
  return CButtonUI::GetInterface(pstrName);
}

void COptionUI::SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit) {
  if (m_pManager && m_pManager != pManager && !m_sGroupName.IsEmpty())
    m_pManager->RemoveOptionGroup(m_sGroupName, this);
  CButtonUI::SetManager(pManager, pParent, bInit);
  if (bInit && m_pManager && !m_sGroupName.IsEmpty()) m_pManager->AddOptionGroup(m_sGroupName, this);
}

void COptionUI::SetGroup(LPCTSTR pStrGroupName) {
  if (m_sGroupName == pStrGroupName) return;
  if (m_pManager && !m_sGroupName.IsEmpty()) m_pManager->RemoveOptionGroup(m_sGroupName, this);
  m_sGroupName = pStrGroupName;
  if (m_pManager && !m_sGroupName.IsEmpty()) m_pManager->AddOptionGroup(m_sGroupName, this);
  Selected(m_bSelected, false);
}

void COptionUI::Selected(bool bSelected, bool bTriggerEvent) {
  if (m_bSelected == bSelected) return;
  m_bSelected = bSelected;
  if (m_bSelected && m_pManager && !m_sGroupName.IsEmpty()) {
    std::vector<CControlUI*>* group = m_pManager->GetOptionGroup(m_sGroupName);
    if (group) {
      std::vector<CControlUI*> members = *group;
      for (CControlUI* c : members) {
        auto* other = static_cast<COptionUI*>(c->GetInterface(L"Option"));
        if (other && other != this) other->Selected(false, bTriggerEvent);
      }
    }
  }
  if (bTriggerEvent && m_pManager) m_pManager->SendNotify(this, DUI_MSGTYPE_SELECTCHANGED, m_bSelected ? 1 : 0);
  Invalidate();
}

bool COptionUI::Activate() {
  if (!CControlUI::Activate()) return false;
  if (!m_sGroupName.IsEmpty()) {
    Selected(true);
  } else {
    Selected(!m_bSelected);
  }
  if (m_pManager) m_pManager->SendNotify(this, DUI_MSGTYPE_CLICK);
  return true;
}

void COptionUI::SetSelectedImage(LPCTSTR pStrImage) {
  m_sSelectedImage = pStrImage;
  Invalidate();
}

void COptionUI::SetSelectedHotImage(LPCTSTR pStrImage) {
  m_sSelectedHotImage = pStrImage;
  Invalidate();
}

void COptionUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
  const std::wstring name(pstrName), value(pstrValue);
  auto is = [&](const wchar_t* n) { return EqualsNoCase(name, n); };
  if (is(L"group")) {
    SetGroup(pstrValue);
  } else if (is(L"selected")) {
    Selected(ParseBool(value), false);
  } else if (is(L"selectedimage")) {
    SetSelectedImage(pstrValue);
  } else if (is(L"selectedhotimage")) {
    SetSelectedHotImage(pstrValue);
  } else if (is(L"selectedbkcolor")) {
    m_dwSelectedBkColor = ParseColor(value);
  } else if (is(L"selectedtextcolor")) {
    m_dwSelectedTextColor = ParseColor(value);
  } else {
    CButtonUI::SetAttribute(pstrName, pstrValue);
  }
}

void COptionUI::PaintBkColor(HDC hDC) {
  if (m_bSelected && (m_dwSelectedBkColor >> 24)) {
    if (m_cxyBorderRound.cx > 0 || m_cxyBorderRound.cy > 0) {
      CRenderEngine::DrawRoundColor(hDC, m_rcItem, m_cxyBorderRound.cx, m_cxyBorderRound.cy, m_dwSelectedBkColor);
    } else {
      CRenderEngine::DrawColor(hDC, m_rcItem, m_dwSelectedBkColor);
    }
    return;
  }
  CButtonUI::PaintBkColor(hDC);
}

void COptionUI::PaintStatusImage(HDC hDC) {
  if (m_bSelected) {
    if ((m_uButtonState & kStateHot) && !m_sSelectedHotImage.IsEmpty() && DrawImage(hDC, m_sSelectedHotImage)) return;
    if (!m_sSelectedImage.IsEmpty() && DrawImage(hDC, m_sSelectedImage)) return;
  }
  CButtonUI::PaintStatusImage(hDC);
}

void COptionUI::PaintText(HDC hDC) {
  if (m_bSelected && (m_dwSelectedTextColor >> 24) && IsEnabled()) {
    DrawLabelText(hDC, m_sText, m_dwSelectedTextColor);
    return;
  }
  CButtonUI::PaintText(hDC);
}

LPCTSTR CCheckBoxUI::GetClass() const { return L"CheckBoxUI"; }

LPVOID CCheckBoxUI::GetInterface(LPCTSTR pstrName) {
  if (_wcsicmp(pstrName, L"CheckBox") == 0) return static_cast<CCheckBoxUI*>(this);
  return COptionUI::GetInterface(pstrName);
}

}  // namespace DuiLib
