#include "server/documents/document_names.h"

#include <gtest/gtest.h>

#include <set>

namespace kiv_server {
namespace {

TEST(DocumentNames, ClientPathsKeepOnlyAValidatedExtension) {
  ClientDocumentPath p;
  ASSERT_EQ(ParseClientDocumentPath("/g1/plan.pdf", &p), DocumentPathError::kNone);
  EXPECT_EQ(p.folder, "g1");
  EXPECT_EQ(p.name, "plan.pdf");
  EXPECT_EQ(p.extension, "pdf");
  ASSERT_EQ(ParseClientDocumentPath("/g-1/Quarter 3 (final).v2.PPTX", &p), DocumentPathError::kNone);
  EXPECT_EQ(p.extension, "pptx");
  ASSERT_EQ(ParseClientDocumentPath("/g1/\xe6\x8a\xa5\xe5\x91\x8a.docx", &p), DocumentPathError::kNone);
  EXPECT_EQ(p.extension, "docx");

  for (const char* unsupported : {"/g1/x.exe", "/g1/x", "/g1/.pdf", "/g1/x.pdf.sh", "/g1/x.doc", "/g1/x."}) {
    EXPECT_EQ(ParseClientDocumentPath(unsupported, &p), DocumentPathError::kUnsupportedType) << unsupported;
  }
  const std::string nul = std::string("/g1/a") + '\0' + "b.pdf";
  const std::string nul_end = std::string("/g1/a.pdf") + '\0';
  for (const std::string& bad : {std::string("../../x.pdf"),
                                 std::string("/g1/../x.pdf"),
                                 std::string("/../x.pdf"),
                                 std::string("/g1/.."),
                                 std::string("/g1/."),
                                 std::string("/./x.pdf"),
                                 std::string("g1/x.pdf"),
                                 std::string("/x.pdf"),
                                 std::string("/g1/sub/x.pdf"),
                                 std::string("/g1//x.pdf"),
                                 std::string("//x.pdf"),
                                 std::string("/g1/x.pdf/"),
                                 std::string("/g1/a\\x.pdf"),
                                 std::string("\\g1\\x.pdf"),
                                 std::string("/g1/C:x.pdf"),
                                 std::string("/g1/a*b.pdf"),
                                 std::string("/g1/a?.pdf"),
                                 std::string("/g1/a\"b.pdf"),
                                 std::string("/g1/<a>.pdf"),
                                 std::string("/g1/a|b.pdf"),
                                 std::string("/g1/a\nb.pdf"),
                                 std::string("/g1/a\x7f.pdf"),
                                 nul,
                                 nul_end,
                                 std::string(""),
                                 std::string("/"),
                                 std::string("/g1/") + std::string(1021, 'a') + ".pdf",
                                 std::string("/g1/\xc0\xaf.pdf"),                  // overlong "/"
                                 std::string("/g1/\xe0\x80\xae\xe0\x80\xae.pdf"),  // overlong ".."
                                 std::string("/g1/\xed\xa0\x80.pdf"),              // surrogate
                                 std::string("/g1/\xff.pdf"),
                                 std::string("/g1/a.pdf\xe6\x8a")}) {
    EXPECT_EQ(ParseClientDocumentPath(bad, &p), DocumentPathError::kMalformed) << bad;
  }
  EXPECT_EQ(ParseClientDocumentPath("/g1/" + std::string(1020, 'a') + ".pdf", &p), DocumentPathError::kNone);
  EXPECT_EQ(ParseClientDocumentPath("/g1/\xf0\x9f\x93\x8a chart.xlsx", &p), DocumentPathError::kNone);
}

TEST(DocumentNames, IdsAreFreshHexAndPagePathsAreStrict) {
  std::set<std::string> ids;
  for (int i = 0; i < 100; ++i) {
    const std::string id = NewDocumentId();
    EXPECT_TRUE(IsDocumentId(id)) << id;
    ids.insert(id);
  }
  EXPECT_EQ(ids.size(), 100u);

  const std::string id(32, 'a');
  PageName page;
  ASSERT_TRUE(ParsePagePath("/doc/" + id + "/0.jpg", &page));
  EXPECT_EQ(page.id, id);
  EXPECT_EQ(page.index, 0u);
  ASSERT_TRUE(ParsePagePath("/doc/" + id + "/12.jpg", &page));
  EXPECT_EQ(page.index, 12u);
  EXPECT_EQ(ConvertedDocumentPath(id), "/doc/" + id);
  for (const std::string& bad :
       {"/doc/" + id + "/01.jpg", "/doc/" + id + "/-1.jpg", "/doc/" + id + "/.jpg", "/doc/" + id + "/1.png",
        "/doc/" + id + "/1.jpg/", "/doc/" + id + "/../1.jpg", "/doc/" + std::string(32, 'A') + "/1.jpg",
        "/doc/" + std::string(31, 'a') + "/1.jpg", std::string("/doc/../../etc/passwd"), "/docs/" + id + "/1.jpg",
        "doc/" + id + "/1.jpg", "/doc/" + id + "/99999999.jpg", "/doc/" + id + "/1.jpg" + std::string(1, '\0')}) {
    EXPECT_FALSE(ParsePagePath(bad, &page)) << bad;
  }
}

}  // namespace
}  // namespace kiv_server
