#include "winlib/skin_document.h"

#include <gtest/gtest.h>

namespace DuiLib {
namespace {

// Verifies that elements, their attributes in file order and nested children are read,
// with UTF-8 text turned into wide characters.
TEST(SkinDocumentTest, ReadsElementsAndAttributesInOrder) {
  const std::string xml =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
      "<Window size=\"420,180\" caption=\"0,0,0,34\">\n"
      "  <Font id=\"0\" name=\"WenQuanYi Micro Hei\" size=\"13\"/>\n"
      "  <VerticalLayout bkcolor=\"#FFFFFFFF\">\n"
      "    <Label name=\"label_text\" text=\"\xE7\x99\xBB\xE9\x99\x86\xE5\xA4\xB1\xE8\xB4\xA5\" align=\"center\"/>\n"
      "  </VerticalLayout>\n"
      "</Window>\n";
  SkinNode doc;
  std::string error;
  ASSERT_TRUE(ParseSkinDocument(xml, &doc, &error)) << error;
  ASSERT_EQ(doc.children.size(), 1u);
  const SkinNode& window = doc.children[0];
  EXPECT_EQ(window.tag, L"Window");
  ASSERT_EQ(window.attributes.size(), 2u);
  EXPECT_EQ(window.attributes[0].first, L"size");
  EXPECT_EQ(window.attributes[1].first, L"caption");
  ASSERT_EQ(window.children.size(), 2u);
  const SkinNode& label = window.children[1].children.at(0);
  EXPECT_EQ(label.tag, L"Label");
  ASSERT_NE(label.Attribute(L"TEXT"), nullptr);
  EXPECT_EQ(*label.Attribute(L"text"), L"登陆失败");
  EXPECT_EQ(label.Attribute(L"missing"), nullptr);
}

// Verifies that malformed, empty and element-free documents are refused with a reason.
TEST(SkinDocumentTest, RefusesMalformedDocuments) {
  SkinNode doc;
  std::string error;
  EXPECT_FALSE(ParseSkinDocument("<Window><Label></Window>", &doc, &error));
  EXPECT_FALSE(error.empty());
  error.clear();
  EXPECT_FALSE(ParseSkinDocument("", &doc, &error));
  EXPECT_FALSE(error.empty());
  error.clear();
  EXPECT_FALSE(ParseSkinDocument("<?xml version=\"1.0\"?><!-- nothing -->", &doc, &error));
  EXPECT_FALSE(error.empty());
}

// Verifies that absurdly deep nesting is refused instead of exhausting the stack.
TEST(SkinDocumentTest, RefusesExcessiveNesting) {
  std::string xml;
  for (int i = 0; i < 200; ++i) xml += "<Container>";
  for (int i = 0; i < 200; ++i) xml += "</Container>";
  SkinNode doc;
  std::string error;
  EXPECT_FALSE(ParseSkinDocument(xml, &doc, &error));
}

// Verifies that character references, entities, CDATA and comments are read as XML says,
// and that a leading byte order mark is no obstacle.
TEST(SkinDocumentTest, ReadsReferencesAndByteOrderMark) {
  const std::string xml =
      "\xEF\xBB\xBF<Window>\n"
      "  <!-- a comment <Label/> -->\n"
      "  <Label text=\"a&amp;b &lt;&#x6444;&#20687;&quot;\" tip='it&apos;s'/>\n"
      "  <Text><![CDATA[<not an element/>]]></Text>\n"
      "</Window>";
  SkinNode doc;
  std::string error;
  ASSERT_TRUE(ParseSkinDocument(xml, &doc, &error)) << error;
  const SkinNode& window = doc.children.at(0);
  ASSERT_EQ(window.children.size(), 2u);
  EXPECT_EQ(*window.children[0].Attribute(L"text"), L"a&b <摄像\"");
  EXPECT_EQ(*window.children[0].Attribute(L"tip"), L"it's");
  EXPECT_TRUE(window.children[1].children.empty());
}

// Verifies the nesting limit exactly: 64 levels are read, 65 refused with a reason and no
// partial tree.
TEST(SkinDocumentTest, NestingLimitBoundary) {
  auto nested = [](int depth) {
    std::string xml;
    for (int i = 0; i < depth; ++i) xml += "<C>";
    for (int i = 0; i < depth; ++i) xml += "</C>";
    return xml;
  };
  SkinNode doc;
  std::string error;
  ASSERT_TRUE(ParseSkinDocument(nested(64), &doc, &error)) << error;
  const SkinNode* node = &doc;
  int depth = 0;
  while (!node->children.empty()) {
    node = &node->children[0];
    ++depth;
  }
  EXPECT_EQ(depth, 64);
  EXPECT_FALSE(ParseSkinDocument(nested(65), &doc, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(doc.children.empty());
}

// Verifies that unterminated attributes and elements, mismatched tags and repeated
// attributes are refused, and that a refused parse leaves no partial tree.
TEST(SkinDocumentTest, RefusesBrokenMarkup) {
  SkinNode doc;
  std::string error;
  for (const char* bad : {"<Window text=\"abc/>", "<Window></Windows>", "<Window a=\"1\" a=\"2\"/>", "<Window",
                          "<Window><Label/></Window><Extra>"}) {
    doc.children.emplace_back();
    error.clear();
    EXPECT_FALSE(ParseSkinDocument(bad, &doc, &error)) << bad;
    EXPECT_FALSE(error.empty()) << bad;
    EXPECT_TRUE(doc.children.empty()) << bad;
  }
}

}  // namespace
}  // namespace DuiLib
