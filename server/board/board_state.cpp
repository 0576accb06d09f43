#include "server/board/board_state.h"

#include <climits>
#include <cstdint>
#include <memory>

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "protocol/wire/result_codes.h"
#include "protocol/wire/wire_message.h"
#include "wb/message/board_message.h"
#include "wb/message/update_commands.h"
#include "wb/model/board_limits.h"
#include "wb/model/graph_base.h"
#include "wb/model/graph_line.h"

namespace kiv_server {

using kiv_proto::GetInt;

namespace {

constexpr int kAdd = 1;
constexpr int kModify = 2;
constexpr int kDelete = 3;

constexpr int kPageSwitch = 0;
constexpr int kPageAdd = 1;
constexpr int kPageClear = 3;

int IntOr(const rapidjson::Value& obj, const char* key, int fallback) {
  int v = fallback;
  return GetInt(obj, key, &v) ? v : fallback;
}

using StoredBody = BoardState::StoredBody;
using StoredValue = BoardState::StoredValue;

// Adds `by` to an int; a sum outside int leaves it as it was.
void ShiftInt(StoredValue& v, int by) {
  const int64_t sum = int64_t{v.GetInt()} + by;
  if (sum >= INT_MIN && sum <= INT_MAX) v.SetInt(static_cast<int>(sum));
}

void Shift(StoredValue& obj, const char* key, int by) {
  auto it = obj.FindMember(key);
  if (it != obj.MemberEnd() && it->value.IsInt()) ShiftInt(it->value, by);
}

// Whether every coordinate of a graph body stays within the board bounds when moved by
// (ox, oy): the boards leave a graph where it is otherwise.
bool MovesWithinBounds(const std::string& kind, const StoredValue& body, int ox, int oy) {
  auto fits = [&body](const char* key, int by) {
    auto it = body.FindMember(key);
    return it == body.MemberEnd() || !it->value.IsInt() || kiv_wb::IsBoardCoordinate(int64_t{it->value.GetInt()} + by);
  };
  if (kind == "line") return fits("x1", ox) && fits("y1", oy) && fits("x2", ox) && fits("y2", oy);
  if (kind == "text") return fits("left", ox) && fits("top", oy) && fits("right", ox) && fits("bottom", oy);
  auto points = body.FindMember("points");
  if (points == body.MemberEnd() || !points->value.IsArray()) return true;
  for (const auto& p : points->value.GetArray()) {
    if (p.IsArray() && p.Size() >= 2 && p[0].IsInt() && p[1].IsInt() &&
        (!kiv_wb::IsBoardCoordinate(int64_t{p[0].GetInt()} + ox) ||
         !kiv_wb::IsBoardCoordinate(int64_t{p[1].GetInt()} + oy))) {
      return false;
    }
  }
  return true;
}

// Adds (ox, oy) to every coordinate of a graph body.
void MoveBody(const std::string& kind, StoredValue& body, int ox, int oy) {
  if (kind == "line") {
    Shift(body, "x1", ox), Shift(body, "y1", oy), Shift(body, "x2", ox), Shift(body, "y2", oy);
  } else if (kind == "text") {
    Shift(body, "left", ox), Shift(body, "top", oy), Shift(body, "right", ox), Shift(body, "bottom", oy);
  } else if (kind == "curve") {
    auto points = body.FindMember("points");
    if (points == body.MemberEnd() || !points->value.IsArray()) return;
    for (auto& p : points->value.GetArray()) {
      if (p.IsArray() && p.Size() >= 2 && p[0].IsInt() && p[1].IsInt()) {
        ShiftInt(p[0], ox);
        ShiftInt(p[1], oy);
      }
    }
  }
}

// The update as the boards read it; null when they refuse it (more points than a path holds,
// a text without its strings), and so when it changes no board: then it must not change the
// kept state either, or a board joining later would rebuild something the others never had.
std::unique_ptr<kiv_wb::BoardCommandBase> ReadAsBoards(const std::string& kind, const rapidjson::Value& body) {
  if (kind == "line") return kiv_wb::ReadFourPointUpdate(body);
  if (kind == "curve") return kiv_wb::ReadPathUpdate(body);
  return kiv_wb::ReadTextUpdate(body, nullptr);
}

// The body the boards hold after reading `command`, as an add: every member they read with the
// value they read (a key missing or not an integer as -1, coordinates and sizes within the
// bounds, only [x, y] points), so that later updates fold into it as they do on the boards.
bool BoardsBody(const std::string& kind, kiv_wb::BoardCommandBase& command, StoredBody* out) {
  const std::string text = command.ToJson();
  rapidjson::Document doc;
  doc.Parse(text.data(), text.size());
  if (doc.HasParseError() || !doc.IsObject() || !doc.HasMember(kind.c_str())) return false;
  out->CopyFrom(doc[kind.c_str()], out->GetAllocator());
  (*out)["action"].SetInt(kAdd);
  return true;
}

// Bytes of a value as a full state writes it, escaped once more in the stream message that
// carries it: a quote or backslash of the text takes two.
template <typename Value>
size_t WrittenBytes(const Value& v) {
  rapidjson::StringBuffer buf;
  rapidjson::Writer<rapidjson::StringBuffer> w(buf);
  v.Accept(w);
  size_t n = buf.GetSize();
  for (const char *c = buf.GetString(), *end = c + buf.GetSize(); c != end; ++c) n += (*c == '"' || *c == '\\') ? 1 : 0;
  return n;
}

// A graph's element of the full state: the comma before it and {"kind":body}.
size_t GraphBytes(const std::string& kind, const StoredValue& body) { return WrittenBytes(body) + kind.size() + 8; }

size_t Digits(int v) {
  size_t n = v < 0 ? 2 : 1;
  for (int64_t m = v < 0 ? -int64_t{v} : v; m >= 10; m /= 10) ++n;
  return n;
}

// "[x,y]" and the comma before it.
size_t PointBytes(const kiv_wb::IntPoint& p) { return Digits(p.x) + Digits(p.y) + 4; }

// Appends a point to a kept curve as the boards do while it is drawn: from the fourth point on,
// one that lies on the line of the last segment (closer than a unit) moves that segment's end
// instead. A full state then rebuilds the points every board that saw the curve drawn holds.
// Returns how many bytes the kept curve grew by (less than none where a point was replaced).
int64_t AppendCurvePoint(StoredBody& body, StoredValue& points, const kiv_wb::IntPoint& p) {
  StoredValue point(rapidjson::kArrayType);
  point.PushBack(p.x, body.GetAllocator()).PushBack(p.y, body.GetAllocator());
  const rapidjson::SizeType n = points.Size();
  if (n >= 3) {
    const StoredValue& a = points[n - 2];
    const StoredValue& b = points[n - 1];
    if (kiv_wb::GraphBase::DistanceToLine(p.x, p.y, a[0].GetInt(), a[1].GetInt(), b[0].GetInt(), b[1].GetInt()) == 0) {
      const int64_t was = static_cast<int64_t>(PointBytes({b[0].GetInt(), b[1].GetInt()}));
      points[n - 1] = point;
      return static_cast<int64_t>(PointBytes(p)) - was;
    }
  }
  points.PushBack(point, body.GetAllocator());
  return static_cast<int64_t>(PointBytes(p)) - (n == 0 ? 1 : 0);
}

void SetMember(StoredBody& doc, const char* key, const rapidjson::Value& value) {
  auto it = doc.FindMember(key);
  if (it != doc.MemberEnd()) {
    it->value.CopyFrom(value, doc.GetAllocator());
  } else {
    doc.AddMember(StoredValue(key, doc.GetAllocator()), StoredValue(value, doc.GetAllocator()), doc.GetAllocator());
  }
}

}  // namespace

int BoardState::Apply(const BoardMessage& update, uint32_t* seq) {
  const rapidjson::Value& body = update.body();
  if (!PageExists(IntOr(body, "pid", -1))) return kiv_proto::kResultInvalidArgument;
  int result = kiv_proto::kResultOk;
  if (update.type == "page") {
    result = FoldPage(body);
  } else if (update.type == "gmov") {
    FoldMove(body);
  } else {
    result = FoldGraph(update);
  }
  if (result != kiv_proto::kResultOk) return result;
  *seq = ++seq_;
  return kiv_proto::kResultOk;
}

int BoardState::FoldGraph(const BoardMessage& update) {
  const rapidjson::Value& body = update.body();
  const int pid = IntOr(body, "pid", -1);
  const int gid = IntOr(body, "gid", -1);
  const int action = IntOr(body, "action", -1);
  auto command = ReadAsBoards(update.type, body);
  if (!PageExists(pid) || !command) return kiv_proto::kResultOk;  // changes nothing on any board
  const Key key(pid, gid);
  auto found = index_.find(key);
  if (action == kDelete) {
    if (found != index_.end()) Erase(key);
    return kiv_proto::kResultOk;
  }
  if (action != kAdd && action != kModify) return kiv_proto::kResultOk;
  if (action == kModify && found == index_.end()) return kiv_proto::kResultOk;
  // The boards add only a line whose "graph" is the line's kind, and take a line or curve
  // modify only for a graph of that kind; a text modify replaces whatever graph has the id.
  if (action == kAdd && update.type == "line" && IntOr(body, "graph", -1) != kiv_wb::GraphLine::kKind) {
    return kiv_proto::kResultOk;
  }
  if (action == kModify && update.type != "text" && found->second->kind != update.type) return kiv_proto::kResultOk;

  // What is kept: the whole body for an add or a text modify, the four points of a line,
  // the new points of a path.
  Graph* g = found != index_.end() ? &*found->second : nullptr;
  const size_t old_bytes = g ? g->bytes : 0;
  auto fits = [&](size_t new_bytes) { return state_bytes_ - old_bytes + new_bytes <= max_state_bytes_; };
  if (action == kAdd || update.type == "text") {
    StoredBody kept;
    if (!BoardsBody(update.type, *command, &kept)) return kiv_proto::kResultOk;
    const size_t new_bytes = GraphBytes(update.type, kept);
    if (!fits(new_bytes)) return kiv_proto::kResultStateFull;
    // A graph of the same id is replaced where it stands; a new one goes last.
    if (g == nullptr) {
      graphs_.emplace_back();
      g = &*index_.emplace(key, std::prev(graphs_.end())).first->second;
    }
    g->pid = pid;
    g->gid = gid;
    g->kind = update.type;
    g->body.Swap(kept);
    g->bytes = new_bytes;
  } else if (update.type == "line") {
    // The boards set all four points; one the update lacks reads as -1.
    StoredBody kept;
    kept.CopyFrom(g->body, kept.GetAllocator());
    for (const char* k : {"x1", "y1", "x2", "y2"}) {
      SetMember(kept, k, rapidjson::Value(kiv_wb::ClampBoardCoordinate(IntOr(body, k, -1))));
    }
    const size_t new_bytes = GraphBytes(update.type, kept);
    if (!fits(new_bytes)) return kiv_proto::kResultStateFull;
    g->body.Swap(kept);
    g->bytes = new_bytes;
  } else {
    const auto& path = static_cast<const kiv_wb::PathGraphUpdateCommand&>(*command);
    StoredValue& have = g->body["points"];
    // The boards refuse the whole append when the path would grow past its limit.
    if (have.Size() + path.points.size() > kiv_wb::kMaxPathPoints) return kiv_proto::kResultOk;
    size_t most = 0;
    for (const kiv_wb::IntPoint& p : path.points) most += PointBytes(p);
    if (!fits(old_bytes + most)) return kiv_proto::kResultStateFull;
    int64_t grown = 0;
    for (const kiv_wb::IntPoint& p : path.points) grown += AppendCurvePoint(g->body, have, p);
    g->bytes = static_cast<size_t>(static_cast<int64_t>(g->bytes) + grown);
  }
  state_bytes_ = state_bytes_ - old_bytes + g->bytes;
  return kiv_proto::kResultOk;
}

int BoardState::FoldPage(const rapidjson::Value& body) {
  const int pid = IntOr(body, "pid", -1);
  const int action = IntOr(body, "action", -1);
  if (!PageExists(pid)) return kiv_proto::kResultOk;
  if (action == kPageSwitch) {
    record_.current_pid = pid;
  } else if (action == kPageAdd) {
    if (record_.page >= kMaxBoardPages) return kiv_proto::kResultStateFull;
    ++record_.page;
  } else if (action == kPageClear) {
    ClearPage(pid);
  }
  return kiv_proto::kResultOk;
}

void BoardState::FoldMove(const rapidjson::Value& body) {
  const int pid = IntOr(body, "pid", -1);
  // An offset beyond the bounds is held within them, as the boards read it.
  const int ox = kiv_wb::ClampBoardCoordinate(IntOr(body, "ox", -1));
  const int oy = kiv_wb::ClampBoardCoordinate(IntOr(body, "oy", -1));
  auto list = body.FindMember("graphs");
  if (!PageExists(pid) || list == body.MemberEnd() || !list->value.IsArray()) return;
  for (const auto& id : list->value.GetArray()) {
    if (!id.IsInt()) continue;
    auto found = index_.find(Key(pid, id.GetInt()));
    if (found == index_.end()) continue;
    Graph& g = *found->second;
    if (MovesWithinBounds(g.kind, g.body, ox, oy)) MoveBody(g.kind, g.body, ox, oy);
  }
}

void BoardState::Erase(const Key& key) {
  auto found = index_.find(key);
  if (found == index_.end()) return;
  state_bytes_ -= found->second->bytes;
  graphs_.erase(found->second);
  index_.erase(found);
}

void BoardState::ClearPage(int pid) {
  auto from = index_.lower_bound(Key(pid, INT32_MIN));
  while (from != index_.end() && from->first.first == pid) {
    state_bytes_ -= from->second->bytes;
    graphs_.erase(from->second);
    from = index_.erase(from);
  }
}

int BoardState::EditIdOf(const std::string& user_id) {
  auto it = edit_ids_.find(user_id);
  if (it != edit_ids_.end()) return it->second;
  const int id = static_cast<int>(edit_ids_.size()) + 1;
  edit_ids_.emplace(user_id, id);
  return id;
}

void BoardState::WriteFullState(rapidjson::Document* out) const {
  auto& a = out->GetAllocator();
  auto text = [&](const std::string& s) {
    return rapidjson::Value(s.data(), static_cast<rapidjson::SizeType>(s.size()), a);
  };
  rapidjson::Value board(rapidjson::kObjectType);
  board.AddMember("board_name", text(record_.name), a);
  board.AddMember("board_type", record_.type, a);
  board.AddMember("width", record_.width, a);
  board.AddMember("height", record_.height, a);
  board.AddMember("page", record_.page, a);
  board.AddMember("current_pid", record_.current_pid, a);
  board.AddMember("file_path", text(record_.file_path), a);
  board.AddMember("convert_file_path", text(record_.convert_file_path), a);
  rapidjson::Value data(rapidjson::kArrayType);
  rapidjson::Value first(rapidjson::kObjectType);
  first.AddMember("board", board, a);
  data.PushBack(first, a);
  for (const Graph& g : graphs_) {
    rapidjson::Value entry(rapidjson::kObjectType);
    entry.AddMember(text(g.kind), rapidjson::Value(g.body, a), a);
    data.PushBack(entry, a);
  }
  out->AddMember("data", data, a);
}

}  // namespace kiv_server
