#include "core/control/board_replies.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using kiv_core::BoardReply;
using kiv_core::ReadBoardReply;

rapidjson::Document Parse(const char* text) {
  rapidjson::Document document;
  document.Parse(text);
  return document;
}

std::string Or(const char* text) { return text ? text : "<null>"; }

}  // namespace

// Only the three services' replies are read, and only from an object.
TEST(BoardRepliesTest, TakesOnlyTheServicesReplies) {
  const rapidjson::Document body = Parse(R"({"code":0})");
  BoardReply reply;
  EXPECT_FALSE(ReadBoardReply("GS", kiv_core::kUploadDocResult, body, &reply));
  EXPECT_FALSE(ReadBoardReply(nullptr, kiv_core::kUploadDocResult, body, &reply));
  EXPECT_FALSE(ReadBoardReply("wbs", kiv_core::kCreateBoardResult, body, &reply));
  EXPECT_FALSE(ReadBoardReply("STORE", kiv_core::kUploadDoc, body, &reply));  // a request id
  EXPECT_FALSE(ReadBoardReply("STORE", kiv_core::kUploadDocResult, Parse("[1]"), &reply));
  EXPECT_TRUE(ReadBoardReply("DC", kiv_core::kDcAccepted, body, &reply));
  EXPECT_TRUE(ReadBoardReply("WBS", kiv_core::kStoreAccepted, body, &reply));
  EXPECT_EQ(reply.id, kiv_core::kStoreAccepted);
}

// The create reply has its own member names; missing or mistyped members read as -1 / null.
TEST(BoardRepliesTest, CreateReply) {
  BoardReply reply;
  // The reply's texts point into the body, which must outlive them.
  const rapidjson::Document body = Parse(R"({"cli_seq_id":7,"result":0,"board_id":"b-1","code":9})");
  ASSERT_TRUE(ReadBoardReply("WBS", kiv_core::kCreateBoardResult, body, &reply));
  EXPECT_EQ(reply.seq, 7);
  EXPECT_EQ(reply.code, 0);
  EXPECT_EQ(Or(reply.boardId), "b-1");
  ASSERT_TRUE(ReadBoardReply("WBS", kiv_core::kCreateBoardResult,
                             Parse(R"({"cli_seq_id":"7","result":4294967296,"board_id":3})"), &reply));
  EXPECT_EQ(reply.seq, -1);
  EXPECT_EQ(reply.code, -1);
  EXPECT_EQ(reply.boardId, nullptr);
}

// Document replies: "data" counts only as an object; a previous reply leaves nothing behind.
TEST(BoardRepliesTest, DocumentReplies) {
  BoardReply reply;
  const rapidjson::Document done =
      Parse(R"({"code":0,"msg":"ok","data":{"file_path":"a.pdf","url":"u","convert_file_path":"a/",)"
            R"("width":1280,"height":720,"convert_counts":9}})");
  ASSERT_TRUE(ReadBoardReply("DC", kiv_core::kDocTransCodeResult, done, &reply));
  EXPECT_EQ(reply.code, 0);
  EXPECT_EQ(Or(reply.msg), "ok");
  EXPECT_TRUE(reply.hasData);
  EXPECT_EQ(Or(reply.filePath), "a.pdf");
  EXPECT_EQ(Or(reply.url), "u");
  EXPECT_EQ(Or(reply.convertPath), "a/");
  EXPECT_EQ(reply.width, 1280);
  EXPECT_EQ(reply.height, 720);
  EXPECT_EQ(reply.count, 9);

  ASSERT_TRUE(ReadBoardReply("STORE", kiv_core::kUploadDocResult, Parse(R"({"code":3,"data":"x"})"), &reply));
  EXPECT_EQ(reply.code, 3);
  EXPECT_FALSE(reply.hasData);
  EXPECT_EQ(reply.msg, nullptr);
  EXPECT_EQ(reply.filePath, nullptr);
  EXPECT_EQ(reply.width, -1);

  ASSERT_TRUE(ReadBoardReply("STORE", kiv_core::kDocDownloadResult, Parse(R"({"data":{"url":5}})"), &reply));
  EXPECT_EQ(reply.code, -1);
  EXPECT_TRUE(reply.hasData);
  EXPECT_EQ(reply.url, nullptr);
}
