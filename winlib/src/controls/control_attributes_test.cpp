// Skin attributes applied to controls, as name/value pairs and as attribute lists.
#include <gtest/gtest.h>

#include <climits>

#include "winlib/ui_lib.h"

namespace {

using namespace DuiLib;

// Verifies attribute lists: double and single quotes (each may hold the other), spaces
// around '=', names in any case; the list ends at an unquoted or unterminated value.
TEST(ControlAttributesTest, AttributeListQuotesAndEnds) {
  CControlUI c;
  c.ApplyAttributeList(L"name=\"a b\" TEXT='say \"hi\"'  bkcolor = \"#FF010203\" tooltip=\"x");
  EXPECT_EQ(c.GetName(), CDuiString(L"a b"));
  EXPECT_EQ(c.GetText(), CDuiString(L"say \"hi\""));
  EXPECT_EQ(c.GetBkColor(), 0xFF010203u);
  EXPECT_TRUE(c.GetToolTip().IsEmpty());
  c.ApplyAttributeList(L"userdata=plain name=\"z\"");
  EXPECT_EQ(c.GetName(), CDuiString(L"a b"));
  EXPECT_TRUE(c.GetUserData().IsEmpty());
  c.ApplyAttributeList(nullptr);
  c.ApplyAttributeList(L"   ");
  c.ApplyAttributeList(L"=\"v\" text=\"\"");
  EXPECT_TRUE(c.GetText().IsEmpty());
}

// Verifies sizes from "pos", "width"/"height" and the limits: a rectangle wider than int
// gives a saturated width rather than a wrapped one, negative sizes are ignored, and huge
// numbers saturate.
TEST(ControlAttributesTest, SizesAndLimits) {
  CControlUI c;
  c.SetAttribute(L"pos", L"10,20,110,70");
  EXPECT_EQ(c.GetFixedXY().cx, 10);
  EXPECT_EQ(c.GetFixedXY().cy, 20);
  EXPECT_EQ(c.GetFixedWidth(), 100);
  EXPECT_EQ(c.GetFixedHeight(), 50);
  c.SetAttribute(L"pos", L"-2000000000,0,2000000000,-10");
  EXPECT_EQ(c.GetFixedWidth(), INT_MAX);
  EXPECT_EQ(c.GetFixedHeight(), 0);
  c.SetAttribute(L"width", L"40");
  c.SetAttribute(L"width", L"-5");
  EXPECT_EQ(c.GetFixedWidth(), 40);
  c.SetAttribute(L"height", L"3000000000");
  EXPECT_EQ(c.GetFixedHeight(), INT_MAX);
  c.SetAttribute(L"minwidth", L"12");
  c.SetAttribute(L"maxwidth", L"34");
  c.SetAttribute(L"maxheight", L"-1");
  EXPECT_EQ(c.GetMinWidth(), 12);
  EXPECT_EQ(c.GetMaxWidth(), 34);
  EXPECT_GE(c.GetMaxHeight(), 0);
  c.SetAttribute(L"padding", L"1,2,3");
  EXPECT_EQ(c.GetPadding().left, 1);
  EXPECT_EQ(c.GetPadding().bottom, 0);
  c.SetAttribute(L"padding", L"none");
  EXPECT_EQ(c.GetPadding().top, 2);
}

// Verifies flags: "true" in any case or a non-zero number sets them, anything else clears;
// colours that do not parse are transparent.
TEST(ControlAttributesTest, FlagsAndColours) {
  struct Flag {
    const wchar_t* name;
    const wchar_t* value;
    bool (CControlUI::*get)() const;
    bool expected;
  };
  CControlUI c;
  for (const Flag& f :
       {Flag{L"float", L"True", &CControlUI::IsFloat, true}, Flag{L"float", L"no", &CControlUI::IsFloat, false},
        Flag{L"enabled", L"0", &CControlUI::IsEnabled, false}, Flag{L"enabled", L"-3", &CControlUI::IsEnabled, true},
        Flag{L"mouse", L"false", &CControlUI::IsMouseEnabled, false},
        Flag{L"visible", L"FALSE", &CControlUI::IsVisible, false}}) {
    c.SetAttribute(f.name, f.value);
    EXPECT_EQ((c.*f.get)(), f.expected) << f.name << "=" << f.value;
  }
  c.SetAttribute(L"bkcolor", L"#FF00FF00");
  c.SetAttribute(L"bkcolor", L"green");
  EXPECT_EQ(c.GetBkColor(), 0u);
  c.SetAttribute(L"borderround", L"4,6");
  EXPECT_EQ(c.GetBorderRound().cx, 4);
  EXPECT_EQ(c.GetBorderRound().cy, 6);
  c.SetAttribute(L"nosuchattribute", L"1");
}

}  // namespace
