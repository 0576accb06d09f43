// Items of a popup menu collected by code before the menu is shown (the camera menu of
// the main window): one item per key, built into the menu's root in order.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace DuiLib {

class CMenuWnd;
class CControlUI;
class INotifyUI;

struct MenuItemInfo {
  std::wstring key;
  std::wstring name;
  std::wstring reserved;  // left empty
  std::wstring text;
  bool marked = false;
  int kind = 2;  // read by nothing
};

struct MenuItemList {
  HWND parent = nullptr;
  INotifyUI* notifier = nullptr;
  int itemWidth = 0;
  int itemHeight = 0;
  std::vector<MenuItemInfo> items;

  // Appends an item unless one with the same key is listed already.
  void AddItem(const std::wstring& key, const std::wstring& name, const std::wstring& text, bool marked);
  // Replaces the menu's "placeholder" with one element per listed item.
  void BuildInto(CMenuWnd* menu, CControlUI* root) const;
};

}  // namespace DuiLib
