// Selection state of lists, combos and tab layouts as items come, go and move, without a
// window: the index each item knows, the owner's selected index and the items' own flags
// must tell the same story.
#include <gtest/gtest.h>

#include <vector>

#include "winlib/ui_lib.h"

namespace {

using namespace DuiLib;

template <class Owner>
std::vector<CListLabelElementUI*> AddLabels(Owner& owner, std::initializer_list<const wchar_t*> texts) {
  std::vector<CListLabelElementUI*> items;
  for (const wchar_t* text : texts) {
    auto* item = new CListLabelElementUI;
    item->SetText(text);
    EXPECT_TRUE(owner.Add(item));
    items.push_back(item);
  }
  return items;
}

// Every item knows its place, and exactly the owner's selected item says it is selected.
template <class Owner>
void ExpectConsistent(Owner& owner) {
  for (int i = 0; i < owner.GetCount(); ++i) {
    auto* item = static_cast<IListItemUI*>(owner.GetItemAt(i)->GetInterface(L"ListItem"));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->GetIndex(), i);
    EXPECT_EQ(item->IsSelected(), i == owner.GetCurSel()) << "item " << i << ", selected " << owner.GetCurSel();
  }
}

void Key(CControlUI& control, WPARAM key) {
  TEventUI event{};
  event.Type = UIEVENT_KEYDOWN;
  event.chKey = static_cast<TCHAR>(key);
  event.pSender = &control;
  control.DoEvent(event);
}

// Verifies that moving an item keeps the selection on the item it was on and every item's
// index current, so that a later click on an item selects that item.
TEST(ListStateTest, MovingAnItemKeepsTheSelectionAndIndexes) {
  CListUI list;
  auto items = AddLabels(list, {L"a", L"b", L"c", L"d"});
  ASSERT_TRUE(list.SelectItem(1));
  ASSERT_TRUE(list.SetItemIndex(items[3], 0));  // d a b c
  EXPECT_EQ(list.GetCurSel(), 2);
  ExpectConsistent(list);
  ASSERT_TRUE(items[0]->Select(true));  // as a click on "a" does
  EXPECT_EQ(list.GetCurSel(), 1);
  ExpectConsistent(list);
  ASSERT_TRUE(list.SetItemIndex(items[0], 3));  // d b c a
  EXPECT_EQ(list.GetCurSel(), 3);
  ExpectConsistent(list);
  EXPECT_FALSE(list.SetItemIndex(items[0], 4));
  EXPECT_FALSE(list.SetItemIndex(nullptr, 0));
  EXPECT_EQ(list.GetCurSel(), 3);
}

// Verifies inserts before and after the selection, removals before it and of it, and that
// inserting past the end is refused.
TEST(ListStateTest, InsertAndRemoveAroundTheSelection) {
  CListUI list;
  auto items = AddLabels(list, {L"a", L"b", L"c"});
  ASSERT_TRUE(list.SelectItem(1));
  auto* front = new CListLabelElementUI;
  ASSERT_TRUE(list.AddAt(front, 0));  // x a b c
  EXPECT_EQ(list.GetCurSel(), 2);
  auto* after = new CListLabelElementUI;
  ASSERT_TRUE(list.AddAt(after, 3));  // x a b y c
  EXPECT_EQ(list.GetCurSel(), 2);
  ExpectConsistent(list);
  auto* stray = new CListLabelElementUI;
  EXPECT_FALSE(list.AddAt(stray, 99));
  delete stray;
  ASSERT_TRUE(list.RemoveAt(0));  // a b y c
  EXPECT_EQ(list.GetCurSel(), 1);
  ASSERT_TRUE(list.Remove(items[2]));  // a b y
  EXPECT_EQ(list.GetCurSel(), 1);
  ExpectConsistent(list);
  ASSERT_TRUE(list.Remove(items[1]));  // a y
  EXPECT_EQ(list.GetCurSel(), -1);
  ExpectConsistent(list);
  EXPECT_FALSE(list.RemoveAt(2));
  EXPECT_EQ(ListSelectionAfterRemove(-1, 0), -1);
  EXPECT_EQ(ListSelectionAfterRemove(0, 0), -1);
  EXPECT_EQ(ListSelectionAfterRemove(3, 1), 2);
  EXPECT_EQ(ListSelectionAfterRemove(3, 4), 3);
}

// Verifies that a selected item that was disabled since lets go of its selection when
// another is chosen, and that hiding the selected item clears the selection.
TEST(ListStateTest, DisabledAndHiddenSelectedItems) {
  CListUI list;
  auto items = AddLabels(list, {L"a", L"b", L"c"});
  ASSERT_TRUE(list.SelectItem(0));
  items[0]->SetEnabled(false);
  ASSERT_TRUE(list.SelectItem(1));
  EXPECT_FALSE(items[0]->IsSelected());
  ExpectConsistent(list);
  EXPECT_FALSE(items[0]->Select(true));  // a disabled item is not selected by a click
  EXPECT_EQ(list.GetCurSel(), 1);
  items[1]->SetVisible(false);
  EXPECT_EQ(list.GetCurSel(), -1);
  ExpectConsistent(list);
  EXPECT_FALSE(list.SelectItem(1));
  EXPECT_FALSE(list.SelectItem(7));
  EXPECT_EQ(list.GetCurSel(), -1);
}

// Verifies that the arrow keys pass over disabled and hidden items, and that at the last
// item that can be selected the selection stays where it is.
TEST(ListStateTest, ArrowKeysPassOverItemsThatCannotBeSelected) {
  CListUI list;
  auto items = AddLabels(list, {L"a", L"b", L"c", L"d"});
  items[1]->SetEnabled(false);
  items[3]->SetVisible(false);
  Key(list, VK_UP);
  EXPECT_EQ(list.GetCurSel(), -1);
  Key(list, VK_DOWN);
  EXPECT_EQ(list.GetCurSel(), 0);
  Key(list, VK_DOWN);
  EXPECT_EQ(list.GetCurSel(), 2);
  Key(list, VK_DOWN);
  EXPECT_EQ(list.GetCurSel(), 2);
  Key(list, VK_UP);
  EXPECT_EQ(list.GetCurSel(), 0);
  Key(list, VK_UP);
  EXPECT_EQ(list.GetCurSel(), 0);
  ExpectConsistent(list);
}

// Verifies that a combo shows the text of the item it had chosen after items move, and
// keeps its items' indexes current.
TEST(ComboStateTest, MovingAnItemKeepsTheChosenText) {
  CComboUI combo;
  auto items = AddLabels(combo, {L"one", L"two", L"three"});
  ASSERT_TRUE(combo.SelectItem(2, false, false));
  ASSERT_TRUE(combo.SetItemIndex(items[2], 0));
  EXPECT_EQ(combo.GetCurSel(), 0);
  EXPECT_EQ(combo.GetText(), CDuiString(L"three"));
  ExpectConsistent(combo);
  ASSERT_TRUE(combo.RemoveAt(1));  // three two
  EXPECT_EQ(combo.GetText(), CDuiString(L"three"));
  ASSERT_TRUE(combo.RemoveAt(0));
  EXPECT_EQ(combo.GetCurSel(), -1);
  EXPECT_TRUE(combo.GetText().IsEmpty());
}

// Verifies that a tab layout shows exactly its current page however pages are removed
// (by index or by control) or moved.
TEST(TabLayoutStateTest, OnePageShownAsPagesComeAndGo) {
  CTabLayoutUI tabs;
  std::vector<CControlUI*> pages;
  for (int i = 0; i < 4; ++i) {
    pages.push_back(new CLabelUI);
    ASSERT_TRUE(tabs.Add(pages.back()));
  }
  auto expect_shown = [&](CControlUI* page) {
    ASSERT_GE(tabs.GetCurSel(), 0);
    EXPECT_EQ(tabs.GetItemAt(tabs.GetCurSel()), page);
    for (int i = 0; i < tabs.GetCount(); ++i) EXPECT_EQ(tabs.GetItemAt(i)->IsVisible(), tabs.GetItemAt(i) == page) << i;
  };
  expect_shown(pages[0]);
  ASSERT_TRUE(tabs.SelectItem(2));
  ASSERT_TRUE(tabs.RemoveAt(0));  // 1 2 3
  expect_shown(pages[2]);
  ASSERT_TRUE(tabs.SetItemIndex(pages[2], 2));  // 1 3 2
  expect_shown(pages[2]);
  ASSERT_TRUE(tabs.SetItemIndex(pages[1], 1));  // 3 1 2
  expect_shown(pages[2]);
  ASSERT_TRUE(tabs.RemoveAt(2));  // 3 1: the shown page went, the first is shown
  expect_shown(pages[3]);
  ASSERT_TRUE(tabs.Remove(pages[1]));
  expect_shown(pages[3]);
  auto* added = new CLabelUI;
  ASSERT_TRUE(tabs.AddAt(added, 0));
  expect_shown(pages[3]);
  EXPECT_FALSE(added->IsVisible());
}

}  // namespace
