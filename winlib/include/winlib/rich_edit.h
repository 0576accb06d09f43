// A multi-line rich text box: a native rich edit child window placed over the control.
#pragma once

#include <richedit.h>

#include "winlib/native_text.h"

namespace DuiLib {

class CRichEditUI : public CNativeTextUI {
 public:
  CRichEditUI();

  LPCTSTR GetClass() const override;
  LPVOID GetInterface(LPCTSTR pstrName) override;

  // Appends at the end; returns the character position where the text starts.
  long AppendText(LPCTSTR pstrText, bool bCanUndo = false);
  int SetSel(long nStartChar, long nEndChar);
  bool SetSelectionCharFormat(CHARFORMAT2W& cf);
  bool SetDefaultCharFormat(CHARFORMAT2W& cf);
  bool SetParaFormat(PARAFORMAT2& pf);
  long GetTextLength(DWORD dwFlags = GTL_DEFAULT) const;
  // Scrolls to the last line.
  void EndDown();

  void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;

 protected:
  void CreateNative(HWND hwndParent) override;

 private:
  bool m_bVScroll = true;
  bool m_bWantReturn = true;
};

}  // namespace DuiLib
