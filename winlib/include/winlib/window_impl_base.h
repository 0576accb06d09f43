// Base of every skinned window: loads its skin when created, draws its own frame and
// caption (the whole window is client area), routes messages to HandleMessage ->
// HandleCustomMessage -> the paint manager -> the default procedure, and notifications
// through the message map.
#pragma once

#include "winlib/dui_string.h"
#include "winlib/notify_pump.h"
#include "winlib/paint_manager.h"
#include "winlib/ui_defs.h"
#include "winlib/window_wnd.h"

namespace DuiLib {

class WindowImplBase : public CWindowWnd,
                       public CNotifyPump,
                       public INotifyUI,
                       public IMessageFilterUI,
                       public IDialogBuilderCallback {
 public:
  WindowImplBase() = default;
  ~WindowImplBase() override;

  virtual void InitWindow() {}
  void OnFinalMessage(HWND hWnd) override;
  void Notify(TNotifyUI& msg) override;
  virtual void OnClick(TNotifyUI& msg);

  CPaintManagerUI& GetPaintManager() { return m_pm; }

  DUI_DECLARE_MESSAGE_MAP()

 protected:
  virtual CDuiString GetSkinFolder() = 0;
  virtual CDuiString GetSkinFile() = 0;
  // Escape closes a modal window with IDCANCEL; other keys are left alone.
  virtual LRESULT ResponseDefaultKeyEvent(WPARAM wParam, bool& bHandled);

 public:
  UINT GetClassStyle() const override;
  CControlUI* CreateControl(LPCTSTR pstrClass) override;
  LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;

  virtual LRESULT OnClose(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
  virtual LRESULT OnDestroy(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
  virtual LRESULT OnNcActivate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
  virtual LRESULT OnNcCalcSize(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
  virtual LRESULT OnNcPaint(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
  virtual LRESULT OnNcHitTest(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
  virtual LRESULT OnGetMinMaxInfo(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
  virtual LRESULT OnSize(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
  virtual LRESULT OnSysCommand(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
  virtual LRESULT OnCreate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
  virtual LRESULT OnKeyDown(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
  LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
  // Messages that the base does not consume; set bHandled to stop further handling.
  virtual LRESULT HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);

 protected:
  CPaintManagerUI m_pm;
};

}  // namespace DuiLib
