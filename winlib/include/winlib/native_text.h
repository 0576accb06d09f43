// Base of the text controls whose text lives in a native edit window placed over the control.
// Keeps the text while there is no native window, sends "textchanged" on user edits and
// "setfocus"/"killfocus" with the keyboard focus.
#pragma once

#include "winlib/label.h"

namespace DuiLib {

class CNativeTextUI : public CLabelUI {
 public:
  ~CNativeTextUI() override;

  UINT GetControlFlags() const override;

  CDuiString GetText() const override;
  void SetText(LPCTSTR pstrText) override;
  void SetEnabled(bool bEnable = true) override;
  void SetReadOnly(bool bReadOnly);
  bool IsReadOnly() const { return m_bReadOnly; }
  HWND GetNativeWindow() const { return m_hwndNative; }

  void SetPos(RECT rc, bool bNeedInvalidate = true) override;
  void SetVisible(bool bVisible = true) override;
  void SetInternVisible(bool bVisible = true) override;
  void SetFocus() override;
  void SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit = true) override;
  void DoInit() override;
  LRESULT OnNativeMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;
  void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
  void PaintText(HDC hDC) override;

 protected:
  // Creates m_hwndNative as a child of hwndParent and sets it up; leaves it null on failure.
  virtual void CreateNative(HWND hwndParent) = 0;
  // Moves the native window over the control; by default onto NativeRect().
  virtual void PlaceNative();
  // The control's rectangle less the text padding and the border.
  RECT NativeRect() const;
  void MoveNative(const RECT& rc);
  void DestroyNative();
  void UpdateNativeVisibility();

  HWND m_hwndNative = nullptr;
  bool m_bReadOnly = false;
  bool m_bSettingText = false;
};

}  // namespace DuiLib
