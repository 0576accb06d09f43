// Host of the windowless rich-edit text services: they keep no window of their own and act
// through this host on the board window of the owning editor (focus, caret, timers, mouse
// capture, cursor, repaint). Reference-counted; deleted by the last Release.
#pragma once

#include <windows.h>

#include <imm.h>
#include <ole2.h>
#include <richedit.h>
#include <textserv.h>

#include <string>

#include "base/system/w_dynamic_library.h"
#include "common/win/com_object.h"
#include "common/win/com_ref.h"

namespace kiv {

class CRichEditUI;

class CTxtWinHost : public kiv_common::ComObject<kiv_common::DeleteOnLastRelease, ITextHost> {
 public:
  static constexpr LONG kDefaultTabTwips = 720;

  CTxtWinHost();
  CTxtWinHost(const CTxtWinHost&) = delete;
  CTxtWinHost& operator=(const CTxtWinHost&) = delete;

  // Loads the library, creates the text services with this host; false on any failure
  // (the caller then releases the host).
  bool Init(CRichEditUI* owner, DWORD style);
  ITextServices* TextServices() const { return m_services.get(); }
  // The control's client rectangle in pixels; its HIMETRIC extent follows, and the text
  // services learn that the view changed.
  void SetClientRect(const RECT& rect);
  const RECT& ClientRect() const { return m_clientRect; }
  void ActivateInPlace();
  // The face (at most 31 characters) and height in twips of all text.
  void SetFont(const std::wstring& face, LONG twips);
  void SetTextColor(COLORREF colour);
  const CHARFORMAT2W& CharFormat() const { return m_charFormat; }
  bool IsCaptured() const { return m_captured; }
  INT CaretWidth() const { return m_caretWidth; }
  INT CaretHeight() const { return m_caretHeight; }
  void SetResized(bool resized) { m_resized = resized; }

  // ITextHost
  HDC TxGetDC() override;
  INT TxReleaseDC(HDC dc) override;
  WINBOOL TxShowScrollBar(INT bar, WINBOOL show) override;
  WINBOOL TxEnableScrollBar(INT flags, INT arrows) override;
  WINBOOL TxSetScrollRange(INT bar, LONG minPos, INT maxPos, WINBOOL redraw) override;
  WINBOOL TxSetScrollPos(INT bar, INT pos, WINBOOL redraw) override;
  void TxInvalidateRect(LPCRECT rect, WINBOOL mode) override;
  void TxViewChange(WINBOOL update) override;
  WINBOOL TxCreateCaret(HBITMAP bitmap, INT width, INT height) override;
  WINBOOL TxShowCaret(WINBOOL show) override;
  WINBOOL TxSetCaretPos(INT x, INT y) override;
  WINBOOL TxSetTimer(UINT id, UINT timeout) override;
  void TxKillTimer(UINT id) override;
  void TxScrollWindowEx(INT dx, INT dy, LPCRECT scroll, LPCRECT clip, HRGN update, LPRECT updateRect,
                        UINT flags) override;
  void TxSetCapture(WINBOOL capture) override;
  void TxSetFocus() override;
  void TxSetCursor(HCURSOR cursor, WINBOOL text) override;
  WINBOOL TxScreenToClient(LPPOINT point) override;
  WINBOOL TxClientToScreen(LPPOINT point) override;
  HRESULT TxActivate(LONG* oldState) override;
  HRESULT TxDeactivate(LONG newState) override;
  HRESULT TxGetClientRect(LPRECT rect) override;
  HRESULT TxGetViewInset(LPRECT rect) override;
  HRESULT TxGetCharFormat(const CHARFORMATW** format) override;
  HRESULT TxGetParaFormat(const PARAFORMAT** format) override;
  COLORREF TxGetSysColor(int index) override;
  HRESULT TxGetBackStyle(TXTBACKSTYLE* style) override;
  HRESULT TxGetMaxLength(DWORD* length) override;
  HRESULT TxGetScrollBars(DWORD* scrollBars) override;
  HRESULT TxGetPasswordChar(TCHAR* ch) override;
  HRESULT TxGetAcceleratorPos(LONG* cp) override;
  HRESULT TxGetExtent(LPSIZEL extent) override;
  HRESULT OnTxCharFormatChange(const CHARFORMATW* format) override;
  HRESULT OnTxParaFormatChange(const PARAFORMAT* format) override;
  HRESULT TxGetPropertyBits(DWORD mask, DWORD* bits) override;
  HRESULT TxNotify(DWORD code, void* data) override;
  HIMC TxImmGetContext() override;
  void TxImmReleaseContext(HIMC context) override;
  HRESULT TxGetSelectionBarWidth(LONG* width) override;

 protected:
  ~CTxtWinHost() override;

 private:
  HWND Window() const;
  void InitFormats(COLORREF colour);
  bool CreateServices();

  CRichEditUI* m_owner = nullptr;       // not counted: the owner holds this host
  ZORVANTE::WDynamicLibrary m_library;  // declared before the services: freed after them
  kiv_common::ComRef<ITextServices> m_services;
  DWORD m_style = 0;
  bool m_wordWrap = false;
  bool m_inPlaceActive = false;
  bool m_timerSet = false;
  bool m_captured = false;
  bool m_caretShown = false;
  bool m_resized = false;
  LONG m_firstRequestedHeight = -1;  // -1: none yet
  INT m_caretWidth = 0;
  INT m_caretHeight = 0;
  LONG m_selectionBarWidth = 0;
  LONG m_textLimit = 32767;
  RECT m_clientRect = {0, 0, 0, 0};
  SIZEL m_extent = {0, 0};
  CHARFORMAT2W m_charFormat = {};
  PARAFORMAT2 m_paraFormat = {};
  LONG m_acceleratorPos = -1;
  WCHAR m_passwordChar = 0;
};

}  // namespace kiv
