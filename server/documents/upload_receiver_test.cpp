#include "server/documents/upload_receiver.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace kiv_server {
namespace {

namespace fs = std::filesystem;

class UploadReceiverTest : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(dir_); }
  void TearDown() override { fs::remove_all(dir_); }

  std::unique_ptr<UploadReceiver> Open(uint64_t expected, HttpResponse* refusal) {
    return UploadReceiver::Open(
        partial_, final_, expected, [this] { ++done_; }, refusal);
  }

  const std::string dir_ = "/tmp/kiv_upload_test_" + std::to_string(getpid());
  const std::string partial_ = dir_ + "/d.pdf.part";
  const std::string final_ = dir_ + "/d.pdf";
  int done_ = 0;
};

TEST_F(UploadReceiverTest, StoresTheWholeBodyUnderItsFinalName) {
  HttpResponse refusal;
  auto sink = Open(10, &refusal);
  ASSERT_TRUE(sink);
  EXPECT_TRUE(sink->Write("01234", 5));
  EXPECT_TRUE(sink->Write("56789", 5));
  EXPECT_FALSE(fs::exists(final_));
  EXPECT_EQ(sink->Finish().status, 200);
  sink.reset();
  EXPECT_EQ(done_, 1);
  std::ifstream in(final_);
  std::stringstream s;
  s << in.rdbuf();
  EXPECT_EQ(s.str(), "0123456789");
  EXPECT_FALSE(fs::exists(partial_));
}

TEST_F(UploadReceiverTest, ExcessShortAndAbandonedBodiesLeaveNoFile) {
  HttpResponse refusal;
  auto sink = Open(4, &refusal);
  ASSERT_TRUE(sink);
  EXPECT_FALSE(sink->Write("12345", 5));
  EXPECT_EQ(sink->Finish().status, 413);
  sink.reset();

  sink = Open(4, &refusal);
  ASSERT_TRUE(sink);
  EXPECT_TRUE(sink->Write("12", 2));
  EXPECT_EQ(sink->Finish().status, 400);
  sink.reset();

  sink = Open(4, &refusal);
  ASSERT_TRUE(sink);
  EXPECT_TRUE(sink->Write("12", 2));
  sink.reset();  // the connection ended

  EXPECT_EQ(done_, 0);
  EXPECT_TRUE(fs::is_empty(dir_));
}

TEST_F(UploadReceiverTest, OneUploadAtATimeAndNoSymlinkFollowed) {
  HttpResponse refusal;
  auto first = Open(4, &refusal);
  ASSERT_TRUE(first);
  EXPECT_FALSE(Open(4, &refusal));
  EXPECT_EQ(refusal.status, 409);
  first.reset();

  const std::string outside = dir_ + "_outside";
  fs::create_symlink(outside, partial_);
  EXPECT_FALSE(Open(4, &refusal));
  EXPECT_FALSE(fs::exists(outside));
  fs::remove(partial_);
}

}  // namespace
}  // namespace kiv_server
