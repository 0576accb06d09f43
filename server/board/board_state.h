// The state of one board as the server keeps it: its settings, the graphs of its pages in
// the order they were added, the stream's sequence number and the participants' edit ids.
// Updates are folded in as the participants' boards apply them, so that a full-state
// answer rebuilds the same board.
#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <string>
#include <utility>

#include <rapidjson/document.h>

#include "protocol/messages/board_limits.h"
#include "server/board/board_message.h"

namespace kiv_server {

// The kept state, measured as its graphs are written in a full state and escaped once more
// inside the stream message that carries it, so that it stays within what one message
// delivers.
using kiv_proto::kMaxBoardStateBytes;

struct BoardRecord {
  std::string name;
  int type = 0;
  int width = 0;
  int height = 0;
  int page = 1;  // number of pages, ids 0..page-1
  int current_pid = 0;
  std::string file_path;
  std::string convert_file_path;
};

class BoardState {
 public:
  // A kept graph's body: each value is allocated on its own and freed with it, so that a
  // graph replaced or removed gives its memory back.
  using StoredBody = rapidjson::GenericDocument<rapidjson::UTF8<>, rapidjson::CrtAllocator>;
  using StoredValue = rapidjson::GenericValue<rapidjson::UTF8<>, rapidjson::CrtAllocator>;

  explicit BoardState(BoardRecord record, size_t max_state_bytes = kMaxBoardStateBytes)
      : record_(std::move(record)), max_state_bytes_(max_state_bytes) {}
  BoardState(const BoardState&) = delete;
  BoardState& operator=(const BoardState&) = delete;

  const BoardRecord& record() const { return record_; }
  uint32_t last_seq() const { return seq_; }
  size_t state_bytes() const { return state_bytes_; }
  size_t graph_count() const { return graphs_.size(); }

  // Folds an update in and gives it the next sequence number (written to *seq). 0, or
  // kResultStateFull when the kept state would outgrow its limit, kResultInvalidArgument when
  // the update names a page the board does not have: then nothing changed.
  // What is kept is charged, as a full state writes it: a curve modify adds its new points.
  int Apply(const BoardMessage& update, uint32_t* seq);

  // The participant's edit id on this board: assigned at its first request (1, 2, ...),
  // the same on every later one.
  int EditIdOf(const std::string& user_id);

  // The body of a 30004 message (without "seq_id", which the caller adds): "data" with the
  // board's settings, then every graph as an add.
  void WriteFullState(rapidjson::Document* out) const;

 private:
  struct Graph {
    int pid = 0;
    int gid = 0;
    std::string kind;  // "line", "curve" or "text"
    StoredBody body;   // as added, "action" 1
    size_t bytes = 0;  // its element of the full state, escaped once more
  };
  using Key = std::pair<int, int>;  // (page id, graph id)

  bool PageExists(int pid) const { return pid >= 0 && pid < record_.page; }
  int FoldGraph(const BoardMessage& update);
  int FoldPage(const rapidjson::Value& body);
  void FoldMove(const rapidjson::Value& body);
  void Erase(const Key& key);
  void ClearPage(int pid);

  BoardRecord record_;
  size_t max_state_bytes_;
  size_t state_bytes_ = 0;
  uint32_t seq_ = 0;
  std::list<Graph> graphs_;
  std::map<Key, std::list<Graph>::iterator> index_;
  std::map<std::string, int> edit_ids_;
};

}  // namespace kiv_server
