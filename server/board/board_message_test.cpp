#include "server/board/board_message.h"

#include <gtest/gtest.h>

namespace kiv_server {
namespace {

BoardReadError Read(const std::string& text) {
  BoardMessage m;
  return ReadBoardMessage(text, &m);
}

// Requests and well-formed updates are read; the body is found by the id's type.
TEST(BoardMessage, ReadsRequestsAndUpdates) {
  BoardMessage m;
  ASSERT_EQ(ReadBoardMessage(R"({"id":30001})", &m), BoardReadError::kNone);
  EXPECT_EQ(m.id, kBoardEditIdRequest);
  ASSERT_EQ(ReadBoardMessage(R"({"id":30003} )", &m), BoardReadError::kNone);
  ASSERT_EQ(ReadBoardMessage(
                R"({"id":31000,"cli_seq_id":1,"edit_id":5,"type":"line","line":{"pid":0,"gid":65537,"action":1}})", &m),
            BoardReadError::kNone);
  EXPECT_EQ(m.type, "line");
  EXPECT_EQ(m.body()["gid"].GetInt(), 65537);
}

// What the service cannot serve exactly is refused with its reason.
TEST(BoardMessage, RefusesMalformedAndForeignMessages) {
  EXPECT_EQ(Read(""), BoardReadError::kBadJson);
  EXPECT_EQ(Read("[1]"), BoardReadError::kBadJson);
  EXPECT_EQ(Read(R"({"id":30001} x)"), BoardReadError::kBadJson);
  EXPECT_EQ(Read(std::string(100, '[') + std::string(100, ']')), BoardReadError::kBadJson);
  EXPECT_EQ(Read("{\"id\":30001,\"t\":\"\xC3\x28\"}"), BoardReadError::kBadJson);
  EXPECT_EQ(Read(R"({"id":"31000"})"), BoardReadError::kNoId);
  EXPECT_EQ(Read(R"({"id":30004,"data":[]})"), BoardReadError::kUnknownId);  // only the server sends it
  EXPECT_EQ(Read(R"({"id":30002,"edit_id":1})"), BoardReadError::kUnknownId);
  EXPECT_EQ(Read(R"({"id":31000,"type":"LINE","LINE":{}})"), BoardReadError::kBadUpdate);
  EXPECT_EQ(Read(R"({"id":31000,"type":"curve","curve":{}})"), BoardReadError::kBadUpdate);
  EXPECT_EQ(Read(R"({"id":31000,"type":"line","line":5})"), BoardReadError::kBadUpdate);
  EXPECT_EQ(Read(R"({"id":31000,"type":"line"})"), BoardReadError::kBadUpdate);
  const std::string big = R"({"id":31000,"type":"line","line":{"pad":")" + std::string(kMaxBoardUpdateBytes, 'x') + "\"}}";
  EXPECT_EQ(Read(big), BoardReadError::kTooLarge);
}

// A create request needs its members in range; document paths only for a document board.
TEST(BoardMessage, CreateRequest) {
  auto read = [](const char* json, CreateBoardRequest* req) {
    rapidjson::Document d;
    d.Parse(json);
    std::string reason;
    return ReadCreateBoardRequest(d, req, &reason);
  };
  CreateBoardRequest req;
  ASSERT_TRUE(read(R"({"cli_seq_id":3,"board_name":"plan","board_type":0,"width":1280,"height":720,"page":2})", &req));
  EXPECT_EQ(req.cli_seq_id, 3);
  EXPECT_EQ(req.page, 2);
  EXPECT_FALSE(read(R"({"cli_seq_id":3,"board_name":"p","board_type":1,"width":1,"height":1,"page":1})", &req));
  EXPECT_TRUE(read(R"({"cli_seq_id":3,"board_name":"p","board_type":1,"width":1,"height":1,"page":1,)"
                   R"("file_path":"/g/a.pdf","convert_file_path":""})", &req));
  EXPECT_FALSE(read(R"({"cli_seq_id":3,"board_name":"p","board_type":0,"width":0,"height":1,"page":1})", &req));
  EXPECT_FALSE(read(R"({"cli_seq_id":3,"board_name":"p","board_type":0,"width":1,"height":1,"page":0})", &req));
  EXPECT_FALSE(read(R"({"board_name":"p","board_type":0,"width":1,"height":1,"page":1})", &req));
}

}  // namespace
}  // namespace kiv_server
