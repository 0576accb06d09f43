// Popup menus: a menu window (CMenuWnd) holding a list (CMenuUI) of items
// (CMenuElementUI); an item whose children are items opens them as a submenu. A click on a
// leaf item reaches the notifier as "itemclick", then every open menu closes.
#pragma once

#include "menu/menu_observer.h"
#include "winlib/ui_lib.h"

namespace DuiLib {

class CMenuElementUI;

// The process-wide observer of the open menus and the notifier of the menus' clicks.
ContextMenuObserver& GetContextMenuObserver();
INotifyUI*& ContextMenuNotifier();

class CMenuUI : public CListUI {
 public:
  CMenuUI();
  LPCTSTR GetClass() const override { return L"MenuUI"; }
  LPVOID GetInterface(LPCTSTR pstrName) override;
  // Only menu elements are taken; their sub-items start hidden.
  bool Add(CControlUI* pControl) override;
  bool AddAt(CControlUI* pControl, int iIndex) override;
  int GetItemIndex(CControlUI* pControl) const override;
  bool SetItemIndex(CControlUI* pControl, int iIndex) override;
  bool Remove(CControlUI* pControl, bool bDoNotDestroy = false) override;
  SIZE EstimateSize(SIZE szAvailable) override;
};

class CMenuWnd : public CWindowWnd, public ContextMenuReceiver {
 public:
  explicit CMenuWnd(HWND hParent = nullptr);

  // Opens the menu: a top-level one (no owner) from `xml` at (x, y) with `alignment`,
  // a submenu from the sub-items of `owner`. False when its window cannot be made: the
  // object has deleted itself then and must not be touched again.
  [[nodiscard]] bool Init(CMenuElementUI* owner, INotifyUI* notifier, STRINGorID xml, LPCTSTR skinType, int alignment,
                          int x, int y);
  // Measures and places a top-level menu whose items were added after Init.
  void ResizeMenu();
  BOOL Receive(ContextMenuParam param) override;

  CPaintManagerUI& GetPaintManager() { return m_pm; }
  CControlUI* GetRoot() { return m_pm.GetRoot(); }
  CMenuElementUI* GetOwner() const { return m_pOwner; }

  LPCTSTR GetWindowClassName() const override { return L"MenuWnd"; }

 protected:
  LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
  void OnFinalMessage(HWND hWnd) override;

 private:
  void CreateTopLevel();
  // Measures the root and places the window at the point; the height grows by the root's
  // top and bottom insets when asked.
  void PlaceTopLevel(bool withInsetHeight);
  void CreateSubmenu();
  void PlaceSubmenu(SIZE size);
  bool IsOpenMenuWindow(HWND hWnd) const;

  HWND m_hParent;
  POINT m_BasedPoint{0, 0};
  CDuiString m_xml;
  CDuiString m_sType;
  CPaintManagerUI m_pm;
  CMenuElementUI* m_pOwner = nullptr;
  CMenuUI* m_pLayout = nullptr;
  int m_dwAlignment = 6;
};

class CMenuElementUI : public CListContainerElementUI {
 public:
  CMenuElementUI();
  LPCTSTR GetClass() const override { return L"MenuElement"; }
  LPVOID GetInterface(LPCTSTR pstrName) override;
  void DoEvent(TEventUI& event) override;
  bool Activate() override;
  void DoPaint(HDC hDC, const RECT& rcPaint) override;
  void PaintText(HDC hDC) override;
  SIZE EstimateSize(SIZE szAvailable) override;

  void CreateMenuWnd();
  CMenuWnd* GetMenuWnd() const { return m_pWindow; }
  void ForgetMenuWnd() { m_pWindow = nullptr; }
  bool HasSubItems() const;

 private:
  CMenuWnd* m_pWindow = nullptr;
};

// Builds menu skins: "Menu" makes a CMenuUI, "MenuElement" a CMenuElementUI.
class CMenuBuilderCallback : public IDialogBuilderCallback {
 public:
  CControlUI* CreateControl(LPCTSTR pstrClass) override;
};

}  // namespace DuiLib
