#include "wb/message/update_commands.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "wb/message/board_net_cmd_id.h"
#include "wb/model/board.h"
#include "wb/model/board_event_listener.h"
#include "wb/model/board_limits.h"
#include "wb/model/graph_factory.h"
#include "wb/model/graph_line.h"
#include "wb/model/graph_path.h"
#include "wb/model/graph_text.h"

namespace kiv_wb {
namespace {

using JsonWriter = rapidjson::Writer<rapidjson::StringBuffer>;

// Writes {"id":..,"cli_seq_id":..,"edit_id":..,"type":type,type:{body}}.
template <typename Body>
std::string WriteUpdate(int id, uint32_t cliSeqId, uint32_t editId, const char* type, Body body) {
  rapidjson::StringBuffer buffer;
  JsonWriter w(buffer);
  w.StartObject();
  w.Key("id");
  w.Int(id);
  w.Key("cli_seq_id");
  w.Uint(cliSeqId);
  w.Key("edit_id");
  w.Uint(editId);
  w.Key("type");
  w.String(type);
  w.Key(type);
  w.StartObject();
  body(w);
  w.EndObject();
  w.EndObject();
  return std::string(buffer.GetString(), buffer.GetSize());
}

void WriteInt(JsonWriter& w, const char* key, int value) {
  w.Key(key);
  w.Int(value);
}

void WriteUint(JsonWriter& w, const char* key, uint32_t value) {
  w.Key(key);
  w.Uint(value);
}

void WriteString(JsonWriter& w, const char* key, const std::string& value) {
  w.Key(key);
  w.String(value.c_str(), static_cast<rapidjson::SizeType>(value.size()));
}

}  // namespace

FourPointGraphUpdateCommand::FourPointGraphUpdateCommand(uint32_t cliSeqId, uint32_t editId, int pid, int gid,
                                                         int action, int graph, int brushSize, uint32_t color, int x1,
                                                         int y1, int x2, int y2)
    : cli_seq_id(cliSeqId),
      edit_id(editId),
      pid(pid),
      gid(gid),
      brush_size(brushSize),
      color(color),
      action(action),
      graph(graph),
      x1(x1),
      y1(y1),
      x2(x2),
      y2(y2) {}

std::string FourPointGraphUpdateCommand::ToJson() {
  return WriteUpdate(kBoardLineUpdate, cli_seq_id, edit_id, "line", [this](JsonWriter& w) {
    WriteInt(w, "pid", pid);
    WriteInt(w, "gid", gid);
    WriteInt(w, "action", action);
    WriteInt(w, "graph", graph);
    WriteInt(w, "brush_size", brush_size);
    WriteUint(w, "color", color);
    WriteInt(w, "x1", x1);
    WriteInt(w, "y1", y1);
    WriteInt(w, "x2", x2);
    WriteInt(w, "y2", y2);
  });
}

bool FourPointGraphUpdateCommand::Apply(Board& board) {
  auto page = board.FindPage(pid);
  const uint32_t id = static_cast<uint32_t>(gid);
  switch (action) {
    case kGraphAdd: {
      // Only a four-point graph has points to set; another kind is ignored.
      if (graph != GraphLine::kKind) {
        return true;
      }
      auto line = std::make_shared<GraphLine>(id, &board, pid);
      line->SetPen(brush_size, color);
      line->SetPoints(x1, y1, x2, y2);
      if (page) {
        page->AddGraph(line);
      }
      return true;
    }
    case kGraphModify:
      if (page) {
        page->SetLinePoints(id, x1, y1, x2, y2);
      }
      return true;
    case kGraphDelete:
      if (page) {
        page->RemoveGraph(id);
      }
      return true;
    default:
      return true;
  }
}

PathGraphUpdateCommand::PathGraphUpdateCommand(uint32_t cliSeqId, uint32_t editId, int pid, int gid, int action,
                                               int brushSize, uint32_t color, const std::vector<IntPoint>& points)
    : cli_seq_id(cliSeqId),
      edit_id(editId),
      pid(pid),
      gid(gid),
      brush_size(brushSize),
      color(color),
      action(action),
      points(points) {}

std::string PathGraphUpdateCommand::ToJson() {
  return WriteUpdate(kBoardCurveUpdate, cli_seq_id, edit_id, "curve", [this](JsonWriter& w) {
    WriteInt(w, "pid", pid);
    WriteInt(w, "gid", gid);
    WriteInt(w, "action", action);
    WriteInt(w, "graph", GraphPath::kKind);
    WriteInt(w, "brush_size", brush_size);
    WriteUint(w, "color", color);
    w.Key("points");
    w.StartArray();
    for (const IntPoint& p : points) {
      w.StartArray();
      w.Int(p.x);
      w.Int(p.y);
      w.EndArray();
    }
    w.EndArray();
  });
}

bool PathGraphUpdateCommand::Apply(Board& board) {
  auto page = board.FindPage(pid);
  const uint32_t id = static_cast<uint32_t>(gid);
  switch (action) {
    case kGraphAdd: {
      if (points.size() > kMaxPathPoints) {
        return false;
      }
      auto path = std::make_shared<GraphPath>(id, &board, pid);
      path->SetPen(brush_size, color);
      path->SetPointList(points);
      if (page) {
        page->AddGraph(path);
      }
      return true;
    }
    case kGraphModify:
      return page ? page->AppendPathPoints(id, points) : true;
    case kGraphDelete:
      if (page) {
        page->RemoveGraph(id);
      }
      return true;
    default:
      return true;
  }
}

TextGraphUpdateCommand::TextGraphUpdateCommand(uint32_t cliSeqId, uint32_t editId, int pid, int gid, int action,
                                               std::shared_ptr<GraphText> graph)
    : cli_seq_id(cliSeqId), edit_id(editId), pid(pid), gid(gid), action(action), graph(std::move(graph)) {}

std::string TextGraphUpdateCommand::ToJson() {
  return WriteUpdate(kBoardTextUpdate, cli_seq_id, edit_id, "text", [this](JsonWriter& w) {
    const BoardRect rect = graph ? graph->GetRect() : BoardRect{};
    WriteInt(w, "pid", pid);
    WriteInt(w, "gid", gid);
    WriteInt(w, "action", action);
    WriteString(w, "text", graph ? graph->GetText() : std::string());
    WriteInt(w, "left", rect.left);
    WriteInt(w, "top", rect.top);
    WriteInt(w, "right", rect.right);
    WriteInt(w, "bottom", rect.bottom);
    WriteString(w, "font", graph ? graph->GetFontName() : std::string());
    WriteInt(w, "fontsize", graph ? graph->GetFontSize() : -1);
    WriteUint(w, "color", graph ? graph->GetTextColor() : 0);
  });
}

bool TextGraphUpdateCommand::Apply(Board& board) {
  auto page = board.FindPage(pid);
  if (!page) {
    return true;
  }
  switch (action) {
    case kGraphAdd:
      page->AddGraph(graph);
      return true;
    case kGraphModify:
      page->ReplaceGraph(graph);
      return true;
    case kGraphDelete:
      page->RemoveGraph(static_cast<uint32_t>(gid));
      return true;
    default:
      return true;
  }
}

PageUpdateCommand::PageUpdateCommand(uint32_t cliSeqId, uint32_t editId, int action, int pid)
    : action(action), cli_seq_id(cliSeqId), edit_id(editId), pid(pid) {}

std::string PageUpdateCommand::ToJson() {
  return WriteUpdate(kBoardPageUpdate, cli_seq_id, edit_id, "page", [this](JsonWriter& w) {
    WriteInt(w, "pid", pid);
    WriteInt(w, "action", action);
  });
}

bool PageUpdateCommand::Apply(Board& board) {
  auto page = board.FindPage(pid);
  if (!page || action < kPageSwitch || action > kPageClear) {
    return false;
  }
  switch (action) {
    case kPageSwitch:
      board.SetRemotePageIndex(pid);
      break;
    case kPageAdd: {
      const int count = board.GetPageCount();
      if (count >= kMaxPageCount) {
        return false;
      }
      board.AddPage(std::make_shared<Page>(count, &board));
      break;
    }
    case kPageClear:
      page->Clear();
      page->ClearUndo();
      page->ClearRedo();
      break;
    default:
      break;
  }
  return true;
}

GraphsMoveCommand::GraphsMoveCommand(uint32_t cliSeqId, uint32_t editId, int pid, const std::vector<int>& graphs,
                                     int ox, int oy)
    : cli_seq_id(cliSeqId),
      edit_id(editId),
      pid(pid),
      ox(ClampBoardCoordinate(ox)),
      oy(ClampBoardCoordinate(oy)),
      graphs(graphs) {}

std::string GraphsMoveCommand::ToJson() {
  return WriteUpdate(kBoardGraphsMove, cli_seq_id, edit_id, "gmov", [this](JsonWriter& w) {
    WriteInt(w, "pid", pid);
    WriteInt(w, "ox", ox);
    WriteInt(w, "oy", oy);
    w.Key("graphs");
    w.StartArray();
    for (int id : graphs) {
      w.Int(id);
    }
    w.EndArray();
  });
}

bool GraphsMoveCommand::Apply(Board& board) {
  auto page = board.FindPage(pid);
  if (!page) {
    return false;
  }
  for (int id : graphs) {
    page->MoveGraph(static_cast<uint32_t>(id), ox, oy);
  }
  return true;
}

BoardFullUpdateCommand::BoardFullUpdateCommand(const std::string& boardName, int boardType, int width, int height,
                                               int page, int currentPid, const std::string& filePath,
                                               const std::string& convertFilePath)
    : board_type(boardType),
      board_name(boardName),
      file_path(filePath),
      convert_file_path(convertFilePath),
      width(width),
      height(height),
      page(page),
      current_pid(currentPid) {}

bool BoardFullUpdateCommand::Apply(Board& board) {
  board.SetBoardType(board_type);
  board.SetBoardName(board_name);
  board.SetFilePath(file_path);
  board.SetConvertFilePath(convert_file_path);
  // A size the painter cannot scale by would leave the board blank: the old size stays.
  if (width > 0 && width <= kMaxBoardSide && height > 0 && height <= kMaxBoardSide) {
    board.SetSize(width, height);
  }
  const int pagesAfter = std::max(board.GetPageCount(), std::min(page, kMaxPageCount));
  if (current_pid >= 0 && current_pid < pagesAfter) {
    board.SetRemotePageIndex(current_pid);
  }
  for (int id = 0; id < board.GetPageCount(); ++id) {
    if (auto p = board.FindPage(id)) {
      p->Clear();
    }
  }
  for (int id = board.GetPageCount(); id < page && id < kMaxPageCount; ++id) {
    board.AddPage(std::make_shared<Page>(id, &board));
  }
  BoardInfo info;
  info.boardType = board_type;
  info.boardName = board_name;
  info.filePath = file_path;
  info.convertFilePath = convert_file_path;
  info.width = width;
  info.height = height;
  info.pageCount = page;
  board.ReportSync(info);
  return true;
}

}  // namespace kiv_wb
