// A multi-line rich text box: a native rich edit child window placed over the control.
#pragma once

#include <richedit.h>

#include "winlib/label.h"

namespace DuiLib {

class CRichEditUI : public CLabelUI {
 public:
  CRichEditUI();
  ~CRichEditUI() override;

  LPCTSTR GetClass() const override;
  LPVOID GetInterface(LPCTSTR pstrName) override;
  UINT GetControlFlags() const override;

  CDuiString GetText() const override;
  void SetText(LPCTSTR pstrText) override;
  void SetEnabled(bool bEnable = true) override;
  void SetReadOnly(bool bReadOnly);
  bool IsReadOnly() const { return m_bReadOnly; }
  HWND GetNativeWindow() const { return m_hwndRich; }

  // Appends at the end; returns the character position where the text starts.
  long AppendText(LPCTSTR pstrText, bool bCanUndo = false);
  int SetSel(long nStartChar, long nEndChar);
  bool SetSelectionCharFormat(CHARFORMAT2W& cf);
  bool SetDefaultCharFormat(CHARFORMAT2W& cf);
  bool SetParaFormat(PARAFORMAT2& pf);
  long GetTextLength(DWORD dwFlags = GTL_DEFAULT) const;
  // Scrolls to the last line.
  void EndDown();

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

  HWND m_hwndRich = nullptr;
  bool m_bReadOnly = false;
  bool m_bVScroll = true;
  bool m_bWantReturn = true;
  bool m_bSettingText = false;
};

}  // namespace DuiLib
