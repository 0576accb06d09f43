#include <climits>

#include <gtest/gtest.h>

#include "window/testing/window_test_support.h"

namespace {

using namespace DuiLib;
using winlib_test::TestWindow;

// Verifies that a skin builds the named controls with their classes, the <Default>
// attributes under the control's own ones, custom tags through CreateControl, and that
// an unknown tag is skipped with its subtree.
TEST(DialogBuilderTest, BuildsControlsFromSkin) {
  TestWindow w(L"controls.xml");
  ASSERT_NE(w.CreateShown(), nullptr);
  ASSERT_NE(w.Find(L"root"), nullptr);
  EXPECT_NE(w.Find(L"root")->GetInterface(L"VerticalLayout"), nullptr);
  EXPECT_NE(w.Find(L"tabs")->GetInterface(L"TabLayout"), nullptr);
  EXPECT_NE(w.Find(L"list")->GetInterface(L"List"), nullptr);
  EXPECT_NE(w.Find(L"check")->GetInterface(L"CheckBox"), nullptr);
  EXPECT_EQ(w.Find(L"btn_a")->GetBkColor(), 0xFF2D7FF9u);
  EXPECT_EQ(w.Find(L"btn_b")->GetBkColor(), 0xFF00FF00u);
  EXPECT_EQ(static_cast<CButtonUI*>(w.Find(L"btn_a"))->GetTextColor(), 0xFFFFFFFFu);
  ASSERT_NE(w.Find(L"custom"), nullptr);
  EXPECT_EQ(w.Find(L"custom")->GetUserData(), CDuiString(L"custom"));
  EXPECT_EQ(w.Find(L"unknown"), nullptr);
  EXPECT_EQ(w.Find(L"inside_unknown"), nullptr);
  EXPECT_EQ(w.Find(L"title")->GetText(), CDuiString(L"标题"));
  w.Close(IDOK);
  winlib_test::PumpUntil([&] { return w.final_message; });
}

// Verifies the window's skin size and the column layout with inset and padding.
TEST(DialogBuilderTest, LaysOutTheSkin) {
  TestWindow w(L"controls.xml");
  ASSERT_NE(w.CreateShown(), nullptr);
  RECT rc;
  ::GetClientRect(w.GetHWND(), &rc);
  EXPECT_EQ(rc.right, 400);
  EXPECT_EQ(rc.bottom, 300);
  RECT caption = w.Find(L"caption")->GetPos();
  EXPECT_EQ(caption.left, 10);
  EXPECT_EQ(caption.top, 10);
  EXPECT_EQ(caption.right, 390);
  EXPECT_EQ(caption.bottom, 40);
  RECT b = w.Find(L"btn_b")->GetPos();
  EXPECT_EQ(b.right, 390);
  EXPECT_EQ(b.left, 330);
  w.Close(IDOK);
  winlib_test::PumpUntil([&] { return w.final_message; });
}

// Verifies that a missing or malformed skin makes window creation fail cleanly.
TEST(DialogBuilderTest, MissingOrBrokenSkinFailsCreation) {
  for (const wchar_t* skin : {L"no_such_file.xml", L"broken.xml"}) {
    TestWindow w(skin);
    EXPECT_EQ(w.Create(nullptr, L"x", UI_WNDSTYLE_FRAME, 0), nullptr) << skin;
    EXPECT_TRUE(w.final_message) << skin;
    EXPECT_EQ(w.GetHWND(), nullptr);
  }
  CDialogBuilder builder;
  EXPECT_EQ(builder.Create(L"no_such_file.xml"), nullptr);
  EXPECT_FALSE(builder.GetLastErrorMessage().empty());
}

// Verifies building from inline XML, including an item skin without a <Window> element.
TEST(DialogBuilderTest, BuildsInlineItemSkins) {
  CDialogBuilder builder;
  CControlUI* item = builder.Create(
      L"<ListContainerElement height=\"30\"><Label name=\"label_userid\" text=\"bob\"/></ListContainerElement>");
  ASSERT_NE(item, nullptr);
  EXPECT_NE(item->GetInterface(L"ListItem"), nullptr);
  auto* container = static_cast<CContainerUI*>(item->GetInterface(L"Container"));
  ASSERT_NE(container, nullptr);
  ASSERT_NE(container->FindSubControl(L"label_userid"), nullptr);
  EXPECT_EQ(container->FindSubControl(L"label_userid")->GetText(), CDuiString(L"bob"));
  delete item;
}

// A control that reports its destruction.
class Probe : public CControlUI {
 public:
  explicit Probe(int* destroyed) : m_destroyed(destroyed) {}
  ~Probe() override { ++*m_destroyed; }

 private:
  int* m_destroyed;
};

class ProbeCallback : public IDialogBuilderCallback {
 public:
  CControlUI* CreateControl(LPCTSTR pstrClass) override {
    return _wcsicmp(pstrClass, L"Probe") == 0 ? new Probe(&destroyed) : nullptr;
  }
  int destroyed = 0;
};

// Verifies that a child its container refuses (a combo takes list items only) is
// destroyed rather than lost, while the items it takes stay; attribute values with
// references and numbers past int are read without harm.
TEST(DialogBuilderTest, RefusedChildrenAreDestroyed) {
  ProbeCallback callback;
  CDialogBuilder builder;
  CControlUI* combo = builder.Create(
      L"<Combo name=\"c\" width=\"3000000000\"><Probe/><ListLabelElement text=\"a&amp;b\"/><Probe/></Combo>", nullptr,
      &callback);
  ASSERT_NE(combo, nullptr);
  EXPECT_EQ(callback.destroyed, 2);
  auto* items = static_cast<CComboUI*>(combo->GetInterface(L"Combo"));
  ASSERT_NE(items, nullptr);
  ASSERT_EQ(items->GetCount(), 1);
  EXPECT_EQ(items->GetItemAt(0)->GetText(), CDuiString(L"a&b"));
  EXPECT_EQ(combo->GetFixedWidth(), INT_MAX);
  delete combo;

  CControlUI* column = builder.Create(L"<VerticalLayout><Probe/></VerticalLayout>", nullptr, &callback);
  ASSERT_NE(column, nullptr);
  EXPECT_EQ(callback.destroyed, 2);
  delete column;
  EXPECT_EQ(callback.destroyed, 3);
}

}  // namespace
