// The board services: business "WBS" (board creation and closing) and the boards' streams
// on business "TSPD". Every answer goes to the requester alone; board updates go to every
// subscriber of the board, the sender included, numbered per board ("seq_id" 1, 2, ...).
//   19000 {"cli_seq_id",...} -> 19001 {"cli_seq_id" as sent,"result"[,"board_id"]}
//   19002 {"board_id"}       -> the board is withdrawn (GS 14106 operation 0) and forgotten
//   TSPD 17000 a board id    -> 17001; then {"id":30000,"seq_id":last} on the stream
//   TSPD 17004 board message -> 30001: {"id":30002,"edit_id"} to the sender;
//                               30003: {"id":30004,"seq_id","data"} to the sender;
//                               an update: folded into the board's state and relayed
//                               with the sender's own "edit_id"
// Only members of the board's group reach a board. Boards live per group until closed or
// until the group ends. Refusals carry a result code and are logged; they change nothing.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>

#include "server/board/board_state.h"
#include "server/businesses/gs_business.h"
#include "server/control/business_module.h"

namespace kiv_server {

constexpr char kBusinessWbs[] = "WBS";
constexpr int kWbsCreate = 19000;
constexpr int kWbsCreateResult = 19001;
constexpr int kWbsClose = 19002;

struct BoardLimits {
  size_t boards_per_group = 32;
  size_t state_bytes = kMaxBoardStateBytes;
};

class BoardBusiness : public IBusinessModule, public IBoardDirectory {
 public:
  using LogFn = std::function<void(const std::string&)>;

  // Without `log` the lines go to standard error.
  explicit BoardBusiness(IServerContext& server, BoardLimits limits = {}, LogFn log = {});

  std::vector<std::string> Businesses() const override;
  void OnBusiness(ClientInfo& from, const std::string& business, int id, const rapidjson::Value& body) override;
  void OnMemberLeaving(ClientInfo& client, Group& group) override;
  void OnGroupEnded(Group& group) override;

  // IBoardDirectory
  const std::string* BoardName(const Group& group, const std::string& board_id) const override;

  // The board's kept state, or null (for tests and the benchmark).
  const BoardState* FindState(const Group& group, const std::string& board_id) const;

 private:
  struct Board {
    explicit Board(BoardRecord record, size_t state_bytes) : state(std::move(record), state_bytes) {}
    BoardState state;
    std::set<ClientId> subscribers;
  };
  struct Room {
    std::map<std::string, std::unique_ptr<Board>> boards;
  };
  using RoomKey = std::pair<std::string, std::string>;  // (app id, group id)

  void OnCreate(ClientInfo& from, Group& group, const rapidjson::Value& body);
  void OnClose(ClientInfo& from, Group& group, const rapidjson::Value& body);
  void OnSubscribe(ClientInfo& from, Group& group, const rapidjson::Value& body);
  void OnUnsubscribe(ClientInfo& from, Group& group, const rapidjson::Value& body);
  void OnStreamData(ClientInfo& from, Group& group, const rapidjson::Value& body);
  void Relay(Board& board, const std::string& board_id, const BoardMessage& update, uint32_t seq, int sender_edit_id);
  void SendOnStream(ClientId to, const std::string& board_id, const std::string& text);
  // The refusal (17006) names the refused update's "cli_seq_id" when it had one.
  void Refuse(const ClientInfo& from, const std::string& board_id, int code, const std::string& why,
              uint32_t cli_seq_id = 0);
  void Log(const ClientInfo& from, const std::string& what);

  Board* FindBoard(const Group& group, const std::string& board_id);

  IServerContext& server_;
  BoardLimits limits_;
  LogFn log_;
  std::map<RoomKey, Room> rooms_;
  uint64_t next_board_ = 1;
};

}  // namespace kiv_server
