#include "wb/message/board_message.h"

#include <algorithm>
#include <cstring>

#include <rapidjson/memorystream.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "protocol/wire/json_reader.h"
#include "protocol/wire/json_values.h"
#include "wb/message/update_commands.h"
#include "wb/model/board_limits.h"
#include "wb/model/graph_text.h"

namespace kiv_wb {
namespace {

constexpr unsigned kParseFlags =
    rapidjson::kParseStopWhenDoneFlag | rapidjson::kParseIterativeFlag | rapidjson::kParseValidateEncodingFlag;

bool IsJsonSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

const rapidjson::Value* Member(const rapidjson::Value& object, const char* name) {
  auto it = object.FindMember(name);
  return it == object.MemberEnd() ? nullptr : &it->value;
}

const rapidjson::Value* ObjectMember(const rapidjson::Value& object, const char* name) {
  const rapidjson::Value* v = Member(object, name);
  return v && v->IsObject() ? v : nullptr;
}

std::string StringOrEmpty(const rapidjson::Value& object, const char* name) {
  const char* s = GetJsonString(object, name);
  return s ? std::string(s) : std::string();
}

// Pen and font sizes beyond the widest every board draws are held to it; -1 stands for none.
int ReadSize(const rapidjson::Value& body, const char* name) {
  return std::clamp(GetJsonInt(body, name, -1), -1, kMaxBrushSize);
}

int ReadCoordinate(const rapidjson::Value& body, const char* name) {
  return ClampBoardCoordinate(GetJsonInt(body, name, -1));
}

}  // namespace

bool ParseBoardJson(const char* text, size_t length, rapidjson::Document& doc) {
  if (!text) {
    return false;
  }
  if (length >= 3 && std::memcmp(text, "\xEF\xBB\xBF", 3) == 0) {
    text += 3;
    length -= 3;
  }
  rapidjson::MemoryStream stream(text, length);
  doc.ParseStream<kParseFlags, rapidjson::UTF8<>>(stream);
  if (doc.HasParseError() || !doc.IsObject() || !kiv_proto::JsonValuesValid(doc)) {
    return false;
  }
  for (size_t i = stream.Tell(); i < length; ++i) {
    if (text[i] == '\0') {
      break;
    }
    if (!IsJsonSpace(text[i])) {
      return false;
    }
  }
  return true;
}

BoardMsgHeader ReadBoardMsgHeader(const char* text, size_t length) {
  BoardMsgHeader header;
  rapidjson::Document doc;
  if (!ParseBoardJson(text, length, doc)) {
    return header;
  }
  header.id = GetJsonInt(doc, "id", -1);
  header.seq_id = GetJsonUint(doc, "seq_id", 0);
  header.cli_seq_id = GetJsonUint(doc, "cli_seq_id", 0);
  header.edit_id = GetJsonInt(doc, "edit_id", -1);
  return header;
}

std::unique_ptr<BoardCommandBase> ParseBoardCommand(const char* text, size_t length, Board* board) {
  rapidjson::Document doc;
  if (!ParseBoardJson(text, length, doc)) {
    return nullptr;
  }
  const char* type = GetJsonString(doc, "type");
  if (!type) {
    return nullptr;
  }
  const rapidjson::Value* body = ObjectMember(doc, type);
  if (std::strcmp(type, "line") == 0) {
    return body ? ReadFourPointUpdate(*body) : nullptr;
  }
  if (std::strcmp(type, "curve") == 0) {
    return body ? ReadPathUpdate(*body) : nullptr;
  }
  if (std::strcmp(type, "text") == 0) {
    return body ? ReadTextUpdate(*body, board) : nullptr;
  }
  if (std::strcmp(type, "page") == 0) {
    return body ? ReadPageUpdate(*body) : nullptr;
  }
  if (std::strcmp(type, "gmov") == 0) {
    return body ? ReadGraphsMove(*body) : nullptr;
  }
  return nullptr;
}

std::vector<std::unique_ptr<BoardCommandBase>> ParseBoardFullSync(const char* text, size_t length, Board* board) {
  std::vector<std::unique_ptr<BoardCommandBase>> commands;
  rapidjson::Document doc;
  if (!ParseBoardJson(text, length, doc)) {
    return commands;
  }
  const rapidjson::Value* data = Member(doc, "data");
  if (!data || !data->IsArray()) {
    return commands;
  }
  for (const rapidjson::Value& element : data->GetArray()) {
    if (!element.IsObject()) {
      continue;
    }
    if (const rapidjson::Value* body = ObjectMember(element, "board")) {
      commands.push_back(ReadBoardFullUpdate(*body));
    } else if (const rapidjson::Value* line = ObjectMember(element, "line")) {
      commands.push_back(ReadFourPointUpdate(*line));
    } else if (const rapidjson::Value* curve = ObjectMember(element, "curve")) {
      commands.push_back(ReadPathUpdate(*curve));
    } else if (const rapidjson::Value* textBody = ObjectMember(element, "text")) {
      commands.push_back(ReadTextUpdate(*textBody, board));
    }
  }
  return commands;
}

std::string WriteBoardIdRequest(int id) {
  rapidjson::StringBuffer buffer;
  rapidjson::Writer<rapidjson::StringBuffer> w(buffer);
  w.StartObject();
  w.Key("id");
  w.Int(id);
  w.EndObject();
  return std::string(buffer.GetString(), buffer.GetSize());
}

std::unique_ptr<BoardCommandBase> ReadFourPointUpdate(const rapidjson::Value& body) {
  const int x1 = ReadCoordinate(body, "x1"), y1 = ReadCoordinate(body, "y1");
  const int x2 = ReadCoordinate(body, "x2"), y2 = ReadCoordinate(body, "y2");
  const int brush = ReadSize(body, "brush_size");
  return std::make_unique<FourPointGraphUpdateCommand>(0, 0, GetJsonInt(body, "pid", -1), GetJsonInt(body, "gid", -1),
                                                       GetJsonInt(body, "action", -1), GetJsonInt(body, "graph", -1),
                                                       brush, GetJsonUint(body, "color", 0xFFFFFFFFu), x1, y1, x2, y2);
}

std::unique_ptr<BoardCommandBase> ReadPathUpdate(const rapidjson::Value& body) {
  const int brush = ReadSize(body, "brush_size");
  std::vector<IntPoint> points;
  const rapidjson::Value* list = Member(body, "points");
  if (list && list->IsArray()) {
    if (list->Size() > kMaxPathPoints) {
      return nullptr;  // more than a path holds
    }
    points.reserve(list->Size());
    for (const rapidjson::Value& p : list->GetArray()) {
      // Elements other than [x, y] of two integers are skipped.
      if (!p.IsArray() || p.Size() < 2 || !p[0].IsInt() || !p[1].IsInt()) {
        continue;
      }
      points.push_back(IntPoint{ClampBoardCoordinate(p[0].GetInt()), ClampBoardCoordinate(p[1].GetInt())});
    }
  }
  return std::make_unique<PathGraphUpdateCommand>(0, 0, GetJsonInt(body, "pid", -1), GetJsonInt(body, "gid", -1),
                                                  GetJsonInt(body, "action", -1), brush,
                                                  GetJsonUint(body, "color", 0xFFFFFFFFu), points);
}

std::unique_ptr<BoardCommandBase> ReadTextUpdate(const rapidjson::Value& body, Board* board) {
  const int pid = GetJsonInt(body, "pid", -1);
  const int gid = GetJsonInt(body, "gid", -1);
  const char* text = GetJsonString(body, "text");
  const char* font = GetJsonString(body, "font");
  if (pid == -1 || gid == -1 || !text || !font) {
    return nullptr;
  }
  const int left = ReadCoordinate(body, "left"), top = ReadCoordinate(body, "top");
  const int right = ReadCoordinate(body, "right"), bottom = ReadCoordinate(body, "bottom");
  const int fontSize = std::min(GetJsonInt(body, "fontsize", -1), kMaxBrushSize);
  auto graph = std::make_shared<GraphText>(static_cast<uint32_t>(gid), board, pid);
  graph->SetText(text);
  graph->SetRect(left, top, right, bottom);
  graph->SetFont(font, fontSize, GetJsonUint(body, "color", 0));
  return std::make_unique<TextGraphUpdateCommand>(0, 0, pid, gid, GetJsonInt(body, "action", -1), graph);
}

std::unique_ptr<BoardCommandBase> ReadPageUpdate(const rapidjson::Value& body) {
  const int pid = GetJsonInt(body, "pid", -1);
  const int action = GetJsonInt(body, "action", -1);
  if (pid == -1 || action == -1) {
    return nullptr;
  }
  return std::make_unique<PageUpdateCommand>(0, 0, action, pid);
}

std::unique_ptr<BoardCommandBase> ReadGraphsMove(const rapidjson::Value& body) {
  const int ox = ReadCoordinate(body, "ox"), oy = ReadCoordinate(body, "oy");
  std::vector<int> graphs;
  const rapidjson::Value* list = Member(body, "graphs");
  if (list && list->IsArray()) {
    for (const rapidjson::Value& id : list->GetArray()) {
      if (id.IsInt()) {
        graphs.push_back(id.GetInt());
      }
    }
  }
  return std::make_unique<GraphsMoveCommand>(0, 0, GetJsonInt(body, "pid", -1), graphs, ox, oy);
}

std::unique_ptr<BoardCommandBase> ReadBoardFullUpdate(const rapidjson::Value& body) {
  const int page = GetJsonInt(body, "page", -1);
  if (page > kMaxPageCount) {
    return nullptr;  // more pages than a board holds
  }
  return std::make_unique<BoardFullUpdateCommand>(StringOrEmpty(body, "board_name"), GetJsonInt(body, "board_type", -1),
                                                  GetJsonInt(body, "width", -1), GetJsonInt(body, "height", -1), page,
                                                  GetJsonInt(body, "current_pid", -1), StringOrEmpty(body, "file_path"),
                                                  StringOrEmpty(body, "convert_file_path"));
}

}  // namespace kiv_wb
