#include "server/documents/document_converter.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "protocol/messages/document_messages.h"

namespace kiv_server {
namespace {

namespace fs = std::filesystem;

// A PDF of `pages` empty 400 x 200 pt pages.
std::string Pdf(int pages) {
  std::vector<std::string> objects = {"<< /Type /Catalog /Pages 2 0 R >>", "", "<< /Length 0 >>\nstream\n\nendstream"};
  std::string kids;
  for (int i = 0; i < pages; ++i) {
    kids += std::to_string(4 + i) + " 0 R ";
    objects.push_back("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 400 200] /Contents 3 0 R >>");
  }
  objects[1] = "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages) + " >>";
  std::string out = "%PDF-1.4\n";
  std::vector<size_t> offsets;
  for (size_t i = 0; i < objects.size(); ++i) {
    offsets.push_back(out.size());
    out += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  const size_t xref = out.size();
  out += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
  for (size_t o : offsets) {
    char line[32];
    std::snprintf(line, sizeof line, "%010zu 00000 n \n", o);
    out += line;
  }
  out += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
         std::to_string(xref) + "\n%%EOF\n";
  return out;
}

class DocumentConverterTest : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(dir_); }
  void TearDown() override { fs::remove_all(dir_); }

  ConversionJob Job(const std::string& bytes, const std::string& extension) {
    ConversionJob job;
    job.source = dir_ + "/source." + extension;
    std::ofstream(job.source, std::ios::binary) << bytes;
    job.extension = extension;
    job.work_folder = dir_ + "/work";
    job.pages_folder = dir_ + "/pages";
    return job;
  }

  const std::string dir_ = "/tmp/kiv_converter_test_" + std::to_string(getpid());
};

TEST_F(DocumentConverterTest, PagesAreNumberedFromZeroWhateverTheirCount) {
  const ConversionJob job = Job(Pdf(12), "pdf");
  const ConversionResult r = ConvertDocument(job, {});
  ASSERT_EQ(r.code, kiv_proto::kDocOk) << r.message;
  EXPECT_EQ(r.pages, 12u);
  EXPECT_EQ(r.width, 1280);  // 400 x 200 pt
  EXPECT_EQ(r.height, 640);
  for (int i = 0; i < 12; ++i) EXPECT_TRUE(fs::exists(job.pages_folder + "/" + std::to_string(i) + ".jpg")) << i;
  EXPECT_EQ(std::distance(fs::directory_iterator(job.pages_folder), fs::directory_iterator()), 12);
  EXPECT_FALSE(fs::exists(job.work_folder));
}

TEST_F(DocumentConverterTest, RefusalsLeaveNoPages) {
  ConversionLimits limits;
  limits.max_pages = 11;
  ConversionResult r = ConvertDocument(Job(Pdf(12), "pdf"), limits);
  EXPECT_EQ(r.code, kiv_proto::kDocTooManyPages);
  EXPECT_NE(r.message.find("12 pages"), std::string::npos) << r.message;
  EXPECT_FALSE(fs::exists(dir_ + "/pages"));

  r = ConvertDocument(Job("", "pdf"), {});
  EXPECT_EQ(r.code, kiv_proto::kDocEmpty);
  r = ConvertDocument(Job(Pdf(2).substr(0, 200), "pdf"), {});
  EXPECT_EQ(r.code, kiv_proto::kDocUnreadable);
  // Not a zip: refused before LibreOffice runs.
  r = ConvertDocument(Job(Pdf(2), "docx"), {});
  EXPECT_EQ(r.code, kiv_proto::kDocUnreadable);
  EXPECT_FALSE(fs::exists(dir_ + "/pages"));
  EXPECT_FALSE(fs::exists(dir_ + "/work"));
}

}  // namespace
}  // namespace kiv_server
