// A single-line text entry: a native EDIT child window placed over the control.
// Sends "textchanged" on user edits and "setfocus"/"killfocus" with the keyboard focus.
#pragma once

#include "winlib/gdi_object.h"
#include "winlib/native_text.h"

namespace DuiLib {

class CEditUI : public CNativeTextUI {
 public:
  CEditUI();
  ~CEditUI() override;

  LPCTSTR GetClass() const override;
  LPVOID GetInterface(LPCTSTR pstrName) override;

  void SetMaxChar(UINT uMax);
  UINT GetMaxChar() const { return m_uMaxChar; }
  void SetPasswordMode(bool bPassword);
  void SetNativeEditBkColor(DWORD dwBkColor);

  LRESULT OnNativeMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;
  void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;

 protected:
  void CreateNative(HWND hwndParent) override;
  void PlaceNative() override;

 private:
  UniqueBrush m_bkBrush;  // of m_dwBrushColor, for the native window's background
  UINT m_uMaxChar = 255;
  bool m_bPassword = false;
  DWORD m_dwEditBkColor = 0xFFFFFFFF;
  DWORD m_dwBrushColor = 0;
};

}  // namespace DuiLib
