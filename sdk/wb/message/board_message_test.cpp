#include "wb/message/board_message.h"

#include <gtest/gtest.h>

#include "wb/message/update_commands.h"
#include "wb/model/board.h"
#include "wb/model/board_limits.h"
#include "wb/model/edit_settings.h"
#include "wb/model/graph_text.h"

namespace kiv_wb {
namespace {

std::unique_ptr<BoardCommandBase> Parse(const std::string& text, Board* board = nullptr) {
  return ParseBoardCommand(text.c_str(), text.size() + 1, board);
}

template <typename T>
T& As(const std::unique_ptr<BoardCommandBase>& c) {
  auto* p = dynamic_cast<T*>(c.get());
  EXPECT_NE(p, nullptr);
  return *p;
}

// Verifies the exact text of a line add and of the requests.
TEST(BoardMessageTest, WrittenTexts) {
  FourPointGraphUpdateCommand line(1, 5, 0, 65537, 1, 1, 6, 0xFFFF0000, 10, 20, 30, 40);
  EXPECT_EQ(line.ToJson(),
            "{\"id\":31000,\"cli_seq_id\":1,\"edit_id\":5,\"type\":\"line\",\"line\":{\"pid\":0,"
            "\"gid\":65537,\"action\":1,\"graph\":1,\"brush_size\":6,\"color\":4294901760,"
            "\"x1\":10,\"y1\":20,\"x2\":30,\"y2\":40}}");
  PathGraphUpdateCommand del(2, 5, 0, 7, 3, 6, 0xFF000000, {});
  EXPECT_EQ(del.ToJson(),
            "{\"id\":31002,\"cli_seq_id\":2,\"edit_id\":5,\"type\":\"curve\",\"curve\":{\"pid\":0,"
            "\"gid\":7,\"action\":3,\"graph\":2,\"brush_size\":6,\"color\":4278190080,"
            "\"points\":[]}}");
  EXPECT_EQ(WriteBoardIdRequest(30001), "{\"id\":30001}");
  EXPECT_EQ(WriteBoardIdRequest(30003), "{\"id\":30003}");
  PageUpdateCommand page(3, 4294967295u, 0, 2);
  EXPECT_EQ(page.ToJson(),
            "{\"id\":30200,\"cli_seq_id\":3,\"edit_id\":4294967295,\"type\":\"page\","
            "\"page\":{\"pid\":2,\"action\":0}}");
}

// Verifies that every update command reads back into an equal command: written again it
// gives the same body, with the header's numbers left out of the command.
TEST(BoardMessageTest, EveryUpdateRoundTrips) {
  EditSettings settings(1, nullptr);
  Board board(&settings);
  auto text = std::make_shared<GraphText>(0x10002, &board, 1);
  text->SetText("\xE4\xBD\xA0\xE5\xA5\xBD \"quoted\"\n");
  text->SetRect(10, 20, 110, 60);
  text->SetFont("DejaVu Sans", 20, 0xFF00FF00);
  std::vector<std::unique_ptr<BoardCommandBase>> written;
  written.push_back(std::make_unique<FourPointGraphUpdateCommand>(0, 0, 1, -5, 2, 1, 8, 0x80FFFFFF, -3, 4, 1000, 700));
  written.push_back(std::make_unique<PathGraphUpdateCommand>(0, 0, 0, 0x7FFF0001, 1, 3, 0xFF0000FF,
                                                             std::vector<IntPoint>{{1, 2}, {-3, 4}, {5, 6}}));
  written.push_back(std::make_unique<TextGraphUpdateCommand>(0, 0, 1, 0x10002, 2, text));
  written.push_back(std::make_unique<PageUpdateCommand>(0, 0, 3, 4));
  written.push_back(std::make_unique<GraphsMoveCommand>(0, 0, 2, std::vector<int>{1, -2, 3}, -7, 9));
  for (auto& command : written) {
    const std::string json = command->ToJson();
    auto read = Parse(json, &board);
    ASSERT_NE(read, nullptr) << json;
    EXPECT_EQ(read->ToJson(), json);
  }
  auto readText = Parse(written[2]->ToJson(), &board);
  EXPECT_EQ(As<TextGraphUpdateCommand>(readText).graph->GetText(), text->GetText());
  // The header's numbers stay in the header.
  FourPointGraphUpdateCommand numbered(9, 4, 0, 1, 1, 1, 6, 0, 0, 0, 1, 1);
  const std::string json = numbered.ToJson();
  const BoardMsgHeader header = ReadBoardMsgHeader(json.c_str(), json.size() + 1);
  EXPECT_EQ(header.id, 31000);
  EXPECT_EQ(header.cli_seq_id, 9u);
  EXPECT_EQ(header.edit_id, 4);
  EXPECT_EQ(header.seq_id, 0u);
  EXPECT_EQ(As<FourPointGraphUpdateCommand>(Parse(json)).cli_seq_id, 0u);
}

// Verifies the framing: byte-order mark, trailing white space up to a NUL, and refusals.
TEST(BoardMessageTest, Framing) {
  const std::string body = "{\"id\":30002,\"seq_id\":7,\"edit_id\":3}";
  EXPECT_EQ(ReadBoardMsgHeader(body.c_str(), body.size()).edit_id, 3);
  const std::string bom = "\xEF\xBB\xBF" + body + " \r\n";
  EXPECT_EQ(ReadBoardMsgHeader(bom.c_str(), bom.size()).seq_id, 7u);
  const std::string afterNul = body + std::string(1, '\0') + "junk";
  EXPECT_EQ(ReadBoardMsgHeader(afterNul.c_str(), afterNul.size()).id, 30002);
  for (const std::string& bad : {body + "x", std::string("[1]"), std::string("{\"id\":"), body.substr(0, 10),
                                 std::string("{\"a\":\"\xC3\x28\"}")}) {
    const BoardMsgHeader h = ReadBoardMsgHeader(bad.c_str(), bad.size());
    EXPECT_EQ(h.id, 30000) << bad;
    EXPECT_EQ(h.edit_id, 0) << bad;
  }
  // Only the given bytes are read.
  EXPECT_EQ(ReadBoardMsgHeader(body.c_str(), body.size() - 1).id, 30000);
  EXPECT_EQ(ReadBoardMsgHeader(nullptr, 0).id, 30000);
  const std::string wide = "{\"id\":30002,\"edit_id\":4294967295,\"seq_id\":-1}";
  const BoardMsgHeader h = ReadBoardMsgHeader(wide.c_str(), wide.size());
  EXPECT_EQ(h.edit_id, -1);
  EXPECT_EQ(h.seq_id, 0u);
  EXPECT_EQ(h.cli_seq_id, 0u);
  // Deep nesting is read without recursion and refused by the framing rules only if broken.
  const std::string deep = "{\"a\":" + std::string(100000, '[') + std::string(100000, ']') + "}";
  EXPECT_EQ(ReadBoardMsgHeader(deep.c_str(), deep.size()).id, -1);
}

// Verifies the readers' rejections and defaults.
TEST(BoardMessageTest, ReaderRules) {
  EXPECT_EQ(Parse("{\"id\":31000,\"type\":\"LINE\",\"LINE\":{\"pid\":0}}"), nullptr);
  EXPECT_EQ(Parse("{\"id\":31000,\"type\":\"line\",\"line\":5}"), nullptr);
  EXPECT_EQ(Parse("{\"id\":31000,\"type\":3}"), nullptr);
  EXPECT_EQ(Parse("{\"type\":\"text\",\"text\":{\"pid\":0,\"gid\":1,\"text\":\"a\"}}"), nullptr);
  auto noColor = Parse(
      "{\"type\":\"text\",\"text\":{\"pid\":0,\"gid\":1,\"text\":\"a\","
      "\"font\":\"f\"}}");
  ASSERT_NE(noColor, nullptr);
  EXPECT_EQ(As<TextGraphUpdateCommand>(noColor).graph->GetTextColor(), 0u);
  EXPECT_EQ(As<TextGraphUpdateCommand>(noColor).action, -1);
  EXPECT_EQ(Parse("{\"type\":\"page\",\"page\":{\"pid\":0,\"action\":-1}}"), nullptr);
  EXPECT_EQ(Parse("{\"type\":\"page\",\"page\":{\"action\":1}}"), nullptr);
  auto move = Parse(
      "{\"type\":\"gmov\",\"gmov\":{\"pid\":0,\"ox\":1,\"oy\":2,"
      "\"graphs\":[1,\"2\",3.5,4,4294967295]}}");
  ASSERT_NE(move, nullptr);
  EXPECT_EQ(As<GraphsMoveCommand>(move).graphs, (std::vector<int>{1, 4}));
  auto line = Parse("{\"type\":\"line\",\"line\":{\"color\":-5}}");
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(As<FourPointGraphUpdateCommand>(line).color, 0xFFFFFFFFu);
  EXPECT_EQ(As<FourPointGraphUpdateCommand>(line).x1, -1);
  auto curve = Parse("{\"type\":\"curve\",\"curve\":{\"points\":[[1,2],[3],5,[4,\"x\"],[6,7,8]]}}");
  ASSERT_NE(curve, nullptr);
  EXPECT_EQ(As<PathGraphUpdateCommand>(curve).points.size(), 2u);
}

// Verifies values beyond the bounds: coordinates, offsets, pens and fonts a conforming peer may
// send are held within them where they are read; more points or pages than the model holds
// are refused.
TEST(BoardMessageTest, ValuesBeyondTheBounds) {
  auto line = Parse(
      "{\"type\":\"line\",\"line\":{\"pid\":0,\"gid\":1,\"action\":1,\"graph\":1,\"brush_size\":600,"
      "\"x1\":2000000000,\"y1\":0,\"x2\":0,\"y2\":-2000000000}}");
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(As<FourPointGraphUpdateCommand>(line).brush_size, kMaxBrushSize);
  EXPECT_EQ(As<FourPointGraphUpdateCommand>(line).x1, kMaxBoardCoordinate);
  EXPECT_EQ(As<FourPointGraphUpdateCommand>(line).y2, -kMaxBoardCoordinate);
  auto curve = Parse("{\"type\":\"curve\",\"curve\":{\"brush_size\":100000,\"points\":[[0,-2000000000]]}}");
  ASSERT_NE(curve, nullptr);
  EXPECT_EQ(As<PathGraphUpdateCommand>(curve).brush_size, kMaxBrushSize);
  ASSERT_EQ(As<PathGraphUpdateCommand>(curve).points.size(), 1u);
  EXPECT_EQ(As<PathGraphUpdateCommand>(curve).points[0].y, -kMaxBoardCoordinate);
  EditSettings settings(1, nullptr);
  Board board(&settings);
  auto text = Parse(
      "{\"type\":\"text\",\"text\":{\"pid\":0,\"gid\":1,\"action\":1,\"text\":\"a\",\"left\":1,\"top\":1,"
      "\"right\":2000000000,\"bottom\":9,\"font\":\"f\",\"fontsize\":600,\"color\":1}}",
      &board);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(As<TextGraphUpdateCommand>(text).graph->GetFontSize(), kMaxBrushSize);
  auto move = Parse("{\"type\":\"gmov\",\"gmov\":{\"pid\":0,\"ox\":2147483647,\"oy\":0,\"graphs\":[1]}}");
  ASSERT_NE(move, nullptr);
  EXPECT_EQ(As<GraphsMoveCommand>(move).ox, kMaxBoardCoordinate);

  std::string many = "{\"type\":\"curve\",\"curve\":{\"pid\":0,\"gid\":1,\"action\":1,\"points\":[";
  for (int i = 0; i < 1000000; ++i) {
    many += i ? ",[1,2]" : "[1,2]";
  }
  many += "]}}";
  EXPECT_EQ(Parse(many), nullptr);
  const std::string pages = "{\"id\":30004,\"data\":[{\"board\":{\"page\":5000}}]}";
  auto state = ParseBoardFullSync(pages.c_str(), pages.size() + 1, nullptr);
  ASSERT_EQ(state.size(), 1u);
  EXPECT_EQ(state[0], nullptr);
}

// A value no writer puts out again (a number beyond a double, a lone surrogate) makes the
// whole message unreadable, as it is at the server.
TEST(BoardMessageTest, ValuesNoWriterPutsOut) {
  EXPECT_EQ(Parse(R"({"id":31000,"type":"line","line":{"pid":0,"gid":1,"action":1,"graph":1,"pad":9e308}})"), nullptr);
  EXPECT_EQ(Parse(R"({"id":31006,"type":"text","text":{"pid":0,"gid":1,"action":1,"text":"\uDC00","font":"f"}})"),
            nullptr);
  EXPECT_NE(Parse(R"({"id":31006,"type":"text","text":{"pid":0,"gid":1,"action":1,"text":"\u00e9","font":"f"}})"),
            nullptr);
  const std::string full = R"({"id":30004,"seq_id":1,"data":[{"board":{"page":1,"pad":-9e999}}]})";
  EXPECT_TRUE(ParseBoardFullSync(full.c_str(), full.size(), nullptr).empty());
}

// Verifies the full board state: order, skipped kinds and the first readable member.
TEST(BoardMessageTest, FullSync) {
  const std::string text =
      "{\"id\":30004,\"seq_id\":9,\"data\":[{\"board\":{\"board_name\":\"n\",\"page\":2}},"
      "{\"page\":{\"pid\":0,\"action\":1}},{\"gmov\":{\"pid\":0}},7,"
      "{\"board\":5,\"line\":{\"pid\":0,\"gid\":1,\"action\":1,\"graph\":1}},"
      "{\"text\":{\"pid\":0}},{\"curve\":{\"pid\":1,\"gid\":2,\"action\":1}}]}";
  auto commands = ParseBoardFullSync(text.c_str(), text.size() + 1, nullptr);
  ASSERT_EQ(commands.size(), 4u);
  EXPECT_EQ(As<BoardFullUpdateCommand>(commands[0]).board_name, "n");
  EXPECT_EQ(As<BoardFullUpdateCommand>(commands[0]).file_path, "");
  EXPECT_EQ(As<BoardFullUpdateCommand>(commands[0]).width, -1);
  EXPECT_NE(dynamic_cast<FourPointGraphUpdateCommand*>(commands[1].get()), nullptr);
  EXPECT_EQ(commands[2], nullptr);
  EXPECT_NE(dynamic_cast<PathGraphUpdateCommand*>(commands[3].get()), nullptr);
  EXPECT_TRUE(ParseBoardFullSync("{\"data\":{}}", 12, nullptr).empty());
  EXPECT_TRUE(ParseBoardFullSync("nope", 4, nullptr).empty());
}

}  // namespace
}  // namespace kiv_wb
