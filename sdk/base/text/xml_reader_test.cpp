#include "base/text/xml_reader.h"

#include <gtest/gtest.h>

namespace {

struct XmlReaderTest : ::testing::Test {
  void SetUp() override {
    doc.Parse(
        "<root><name>abc</name><num>42x</num><empty></empty><blank/>"
        "<name>second</name></root>");
    root = doc.FirstChildElement("root");
    ASSERT_NE(root, nullptr);
  }
  TiXmlDocument doc;
  TiXmlElement* root = nullptr;
};

}  // namespace

// The first child of that name is read; a missing or contentless child gives null.
TEST_F(XmlReaderTest, ChildText) {
  ASSERT_NE(ZORVANTE::XmlGetChildText(root, "name"), nullptr);
  EXPECT_STREQ(ZORVANTE::XmlGetChildText(root, "name"), "abc");
  EXPECT_EQ(ZORVANTE::XmlGetChildText(root, "missing"), nullptr);
  EXPECT_EQ(ZORVANTE::XmlGetChildText(root, "empty"), nullptr);
  EXPECT_EQ(ZORVANTE::XmlGetChildText(root, "blank"), nullptr);
  EXPECT_EQ(ZORVANTE::XmlGetChildText(nullptr, "name"), nullptr);
}

// The integer reader uses atoi and leaves the out value alone when the child is missing.
TEST_F(XmlReaderTest, ChildInt) {
  int value = -1;
  EXPECT_NE(ZORVANTE::XmlGetChildInt(root, "num", &value), nullptr);
  EXPECT_EQ(value, 42);
  value = 7;
  EXPECT_EQ(ZORVANTE::XmlGetChildInt(root, "missing", &value), nullptr);
  EXPECT_EQ(value, 7);
}

// The buffer reader needs room for the text and its terminator; exactly as long as the
// buffer is refused and nothing is written.
TEST_F(XmlReaderTest, ChildTextBuf) {
  char buffer[4] = {'x', 'x', 'x', 'x'};
  EXPECT_EQ(ZORVANTE::XmlGetChildTextBuf(root, "name", buffer, 3), nullptr);
  EXPECT_EQ(buffer[0], 'x');
  EXPECT_NE(ZORVANTE::XmlGetChildTextBuf(root, "name", buffer, 4), nullptr);
  EXPECT_STREQ(buffer, "abc");
}
