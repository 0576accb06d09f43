#include "menu/menu_item_list.h"

#include <memory>

#include "menu/menu_wnd.h"

namespace DuiLib {

void MenuItemList::AddItem(const std::wstring& key, const std::wstring& name, const std::wstring& text, bool marked) {
  for (const MenuItemInfo& item : items) {
    if (item.key == key) return;
  }
  MenuItemInfo info;
  info.key = key;
  info.name = name;
  info.text = text;
  info.marked = marked;
  items.push_back(info);
}

void MenuItemList::BuildInto(CMenuWnd* menu, CControlUI* root) const {
  if (!menu || !root) return;
  auto* list = static_cast<CMenuUI*>(root->GetInterface(L"Menu"));
  if (!list) return;
  if (CControlUI* placeholder = menu->GetPaintManager().FindControl(L"placeholder")) list->Remove(placeholder);
  for (const MenuItemInfo& item : items) {
    auto element = std::make_unique<CMenuElementUI>();
    element->SetName(item.name.c_str());
    element->SetText(item.text.c_str());
    element->SetFixedWidth(itemWidth);
    element->SetFixedHeight(itemHeight);
    element->SetAttribute(L"bkimage", item.marked ? L"file='img\\checkbox_selected.png' dest='4,10,20,26'"
                                                  : L"file='img\\checkbox_normal.png' dest='4,10,20,26'");
    if (list->Add(element.get())) (void)element.release();  // the list owns it now
  }
}

}  // namespace DuiLib
