// A single-line text entry: a native EDIT child window placed over the control.
// Sends "textchanged" on user edits and "setfocus"/"killfocus" with the keyboard focus.
#pragma once

#include "winlib/label.h"

namespace DuiLib {

class CEditUI : public CLabelUI {
 public:
  CEditUI();
  ~CEditUI() override;

  LPCTSTR GetClass() const override;
  LPVOID GetInterface(LPCTSTR pstrName) override;
  UINT GetControlFlags() const override;

  CDuiString GetText() const override;
  void SetText(LPCTSTR pstrText) override;
  void SetEnabled(bool bEnable = true) override;
  void SetMaxChar(UINT uMax);
  UINT GetMaxChar() const { return m_uMaxChar; }
  void SetReadOnly(bool bReadOnly);
  bool IsReadOnly() const { return m_bReadOnly; }
  void SetPasswordMode(bool bPassword);
  void SetNativeEditBkColor(DWORD dwBkColor);
  HWND GetNativeWindow() const { return m_hwndEdit; }

  void SetPos(RECT rc, bool bNeedInvalidate = true) override;
  void SetVisible(bool bVisible = true) override;
  void SetInternVisible(bool bVisible = true) override;
  void SetFocus() override;
  void SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit = true) override;
  void DoInit() override;
  LRESULT OnNativeMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;
  void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
  void PaintText(HDC hDC) override;

 private:
  void DestroyNative();
  void PlaceNative();
  void UpdateNativeVisibility();

  HWND m_hwndEdit = nullptr;
  HBRUSH m_hBkBrush = nullptr;
  UINT m_uMaxChar = 255;
  bool m_bReadOnly = false;
  bool m_bPassword = false;
  bool m_bSettingText = false;
  DWORD m_dwEditBkColor = 0xFFFFFFFF;
  DWORD m_dwBrushColor = 0;
};

}  // namespace DuiLib
