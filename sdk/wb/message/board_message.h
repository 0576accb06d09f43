// Board messages: one compact JSON object each, carried with its terminating NUL byte on the
// board's stream. Reading the header, building update commands from received texts, and the
// two requests the client writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <rapidjson/document.h>

#include "wb/message/board_command_base.h"

namespace kiv_wb {

class Board;

struct BoardMsgHeader {
  int32_t id = 30000;
  uint32_t seq_id = 0;
  uint32_t cli_seq_id = 0;
  int32_t edit_id = 0;
};

// Parses exactly length bytes: a leading UTF-8 byte-order mark is skipped; after the root
// object only white space may follow, up to the end or a NUL byte. False for anything else,
// also for a value no writer puts out again (a lone surrogate, a number beyond a double).
[[nodiscard]] bool ParseBoardJson(const char* text, size_t length, rapidjson::Document& doc);

// {30000, 0, 0, 0} for a text that does not parse.
BoardMsgHeader ReadBoardMsgHeader(const char* text, size_t length);
// Null when the text names no body or a reader refuses it.
std::unique_ptr<BoardCommandBase> ParseBoardCommand(const char* text, size_t length, Board* board);
// The commands of "data" in order; null entries where a reader refused its element.
std::vector<std::unique_ptr<BoardCommandBase>> ParseBoardFullSync(const char* text, size_t length, Board* board);
// {"id":<id>}.
std::string WriteBoardIdRequest(int id);

// Readers of the body objects; null when refused.
std::unique_ptr<BoardCommandBase> ReadFourPointUpdate(const rapidjson::Value& body);
std::unique_ptr<BoardCommandBase> ReadPathUpdate(const rapidjson::Value& body);
std::unique_ptr<BoardCommandBase> ReadTextUpdate(const rapidjson::Value& body, Board* board);
std::unique_ptr<BoardCommandBase> ReadPageUpdate(const rapidjson::Value& body);
std::unique_ptr<BoardCommandBase> ReadGraphsMove(const rapidjson::Value& body);
std::unique_ptr<BoardCommandBase> ReadBoardFullUpdate(const rapidjson::Value& body);

}  // namespace kiv_wb
