#include "server/board/board_business.h"

#include <cstdio>
#include <cstring>

#include "protocol/messages/tspd_messages.h"
#include "protocol/wire/result_codes.h"
#include "protocol/wire/wire_message.h"

namespace kiv_server {

using namespace kiv_proto;

namespace {

rapidjson::Value Text(const std::string& s, rapidjson::Document::AllocatorType& a) {
  return rapidjson::Value(s.data(), static_cast<rapidjson::SizeType>(s.size()), a);
}

std::string SmallMessage(int id, const char* key, int64_t value) {
  return "{\"id\":" + std::to_string(id) + ",\"" + key + "\":" + std::to_string(value) + "}";
}

}  // namespace

BoardBusiness::BoardBusiness(IServerContext& server, BoardLimits limits, LogFn log)
    : server_(server), limits_(limits), log_(std::move(log)) {
  if (!log_) log_ = [](const std::string& line) { std::fprintf(stderr, "meeting_server: board: %s\n", line.c_str()); };
}

std::vector<std::string> BoardBusiness::Businesses() const { return {kBusinessWbs, kBusinessTspd}; }

void BoardBusiness::OnBusiness(ClientInfo& from, const std::string& business, int id, const rapidjson::Value& body) {
  Group* group = server_.State().GroupOf(from);
  if (group == nullptr) {
    Log(from, business + " " + std::to_string(id) + " outside a group refused");
    if (business == kBusinessWbs && id == kWbsCreate) {
      int cli_seq_id = 0;
      if (GetInt(body, "cli_seq_id", &cli_seq_id)) {
        rapidjson::Document out(rapidjson::kObjectType);
        auto& a = out.GetAllocator();
        out.AddMember("business", kBusinessWbs, a);
        out.AddMember("id", kWbsCreateResult, a);
        out.AddMember("cli_seq_id", cli_seq_id, a);
        out.AddMember("result", kResultWrongState, a);
        server_.SendBusiness(from.id, out);
        return;
      }
    }
    if (business == kBusinessTspd && id == kTspdSubscribe) {
      std::string media;
      if (DecodeTspdMedia(body, &media)) {
        server_.SendBusiness(from.id, EncodeTspdSubscribeResult({media, kResultNoSuchMedia}));
        return;
      }
    }
    server_.SendError(from.id, kResultWrongState, business + " message outside a group");
    return;
  }
  if (business == kBusinessWbs) {
    if (id == kWbsCreate) return OnCreate(from, *group, body);
    if (id == kWbsClose) return OnClose(from, *group, body);
  } else {
    if (id == kTspdSubscribe) return OnSubscribe(from, *group, body);
    if (id == kTspdUnsubscribe) return OnUnsubscribe(from, *group, body);
    if (id == kTspdSend) return OnStreamData(from, *group, body);
  }
  Log(from, "unknown " + business + " command " + std::to_string(id));
  server_.SendError(from.id, kResultInvalidArgument, "unknown " + business + " command " + std::to_string(id));
}

void BoardBusiness::OnCreate(ClientInfo& from, Group& group, const rapidjson::Value& body) {
  CreateBoardRequest req;
  std::string reason;
  const bool read = ReadCreateBoardRequest(body, &req, &reason);
  int result = read ? kResultOk : kResultInvalidArgument;
  Room& room = rooms_[RoomKey(group.app_id, group.group_id)];
  std::string board_id;
  if (read && room.boards.size() >= limits_.boards_per_group) {
    result = kResultBoardLimit;
    reason = "the group holds " + std::to_string(room.boards.size()) + " boards already";
  }
  if (result == kResultOk) {
    board_id = "wb-" + std::to_string(next_board_++);
    BoardRecord record;
    record.name = req.board_name;
    record.type = req.board_type;
    record.width = req.width;
    record.height = req.height;
    record.page = req.page;
    record.file_path = req.file_path;
    record.convert_file_path = req.convert_file_path;
    room.boards[board_id] = std::make_unique<Board>(std::move(record), limits_.state_bytes);
    Log(from, "created board " + board_id + " \"" + req.board_name + "\"");
  } else {
    Log(from, "19000 refused (" + std::to_string(result) + "): " + reason);
    if (room.boards.empty()) rooms_.erase(RoomKey(group.app_id, group.group_id));
  }
  int cli_seq_id = 0;
  if (!GetInt(body, "cli_seq_id", &cli_seq_id)) {
    server_.SendError(from.id, kResultInvalidArgument, "WBS 19000: " + reason);
    return;
  }
  rapidjson::Document out(rapidjson::kObjectType);
  auto& a = out.GetAllocator();
  out.AddMember("business", kBusinessWbs, a);
  out.AddMember("id", kWbsCreateResult, a);
  out.AddMember("cli_seq_id", cli_seq_id, a);
  out.AddMember("result", result, a);
  if (result == kResultOk) out.AddMember("board_id", Text(board_id, a), a);
  server_.SendBusiness(from.id, out);
}

void BoardBusiness::OnClose(ClientInfo& from, Group& group, const rapidjson::Value& body) {
  std::string board_id;
  if (!ReadCloseBoardRequest(body, &board_id)) {
    Log(from, "19002 without a board id refused");
    server_.SendError(from.id, kResultInvalidArgument, "WBS 19002 malformed");
    return;
  }
  auto room = rooms_.find(RoomKey(group.app_id, group.group_id));
  if (room == rooms_.end() || room->second.boards.erase(board_id) == 0) {
    Log(from, "19002 for unknown board " + board_id + " refused");
    server_.SendError(from.id, kResultNoSuchMedia, "WBS 19002: no board " + board_id + " in the group");
    return;
  }
  if (room->second.boards.empty()) rooms_.erase(room);
  Log(from, "closed board " + board_id);
  auto& media = group.media;
  for (auto it = media.begin(); it != media.end();) {
    if (it->media_type == kBoardMediaType && it->media_id == board_id) {
      const PublishedMedia gone = *it;
      it = media.erase(it);
      AnnounceMedia(server_, group, gone, 0, 0);
    } else {
      ++it;
    }
  }
}

void BoardBusiness::OnSubscribe(ClientInfo& from, Group& group, const rapidjson::Value& body) {
  std::string board_id;
  if (!DecodeTspdMedia(body, &board_id)) {
    Log(from, "17000 malformed");
    server_.SendError(from.id, kResultInvalidArgument, "TSPD 17000 malformed");
    return;
  }
  Board* board = FindBoard(group, board_id);
  if (board == nullptr) {
    Log(from, "subscription to unknown board " + board_id + " refused");
    server_.SendBusiness(from.id, EncodeTspdSubscribeResult({board_id, kResultNoSuchMedia}));
    return;
  }
  board->subscribers.insert(from.id);
  server_.SendBusiness(from.id, EncodeTspdSubscribeResult({board_id, kResultOk}));
  SendOnStream(from.id, board_id, SmallMessage(kBoardSeqNotice, "seq_id", board->state.last_seq()));
}

void BoardBusiness::OnUnsubscribe(ClientInfo& from, Group& group, const rapidjson::Value& body) {
  std::string board_id;
  if (!DecodeTspdMedia(body, &board_id)) return;
  if (Board* board = FindBoard(group, board_id)) board->subscribers.erase(from.id);
}

void BoardBusiness::OnStreamData(ClientInfo& from, Group& group, const rapidjson::Value& body) {
  TspdData data;
  if (!DecodeTspdData(body, &data)) {
    std::string board_id;
    (void)GetString(body, "media_id", &board_id);
    const bool long_data = body.IsObject() && body.HasMember("data") && body["data"].IsString() &&
                           body["data"].GetStringLength() > kMaxTspdDataBytes;
    Refuse(from, board_id, long_data ? kResultTooLarge : kResultInvalidArgument, "17004 malformed");
    return;
  }
  Board* board = FindBoard(group, data.media_id);
  if (board == nullptr) return Refuse(from, data.media_id, kResultNoSuchMedia, "no such board in the group");
  if (board->subscribers.count(from.id) == 0) {
    return Refuse(from, data.media_id, kResultNotSubscribed, "data on a stream not subscribed");
  }
  BoardMessage msg;
  const BoardReadError err = ReadBoardMessage(data.data, &msg);
  if (err != BoardReadError::kNone) {
    return Refuse(from, data.media_id, err == BoardReadError::kTooLarge ? kResultTooLarge : kResultInvalidArgument,
                  BoardReadErrorText(err));
  }
  if (msg.id == kBoardEditIdRequest) {
    SendOnStream(from.id, data.media_id, SmallMessage(kBoardEditId, "edit_id", board->state.EditIdOf(from.user_id)));
    return;
  }
  if (msg.id == kBoardStateRequest) {
    rapidjson::Document state(rapidjson::kObjectType);
    state.AddMember("id", kBoardState, state.GetAllocator());
    state.AddMember("seq_id", board->state.last_seq(), state.GetAllocator());
    board->state.WriteFullState(&state);
    const std::string text = ToJson(state);
    if (text.empty()) return Refuse(from, data.media_id, kResultStateFull, "full state could not be written");
    if (text.size() > kMaxTspdDeliveryBytes) {
      return Refuse(from, data.media_id, kResultStateFull, "full state of " + std::to_string(text.size()) + " bytes");
    }
    SendOnStream(from.id, data.media_id, text);
    return;
  }
  uint32_t cli_seq_id = 0;
  (void)GetUint(msg.doc, "cli_seq_id", &cli_seq_id);
  uint32_t seq = 0;
  const int applied = board->state.Apply(msg, &seq);
  if (applied == kResultInvalidArgument) {
    return Refuse(from, data.media_id, applied, "no such page on the board", cli_seq_id);
  }
  if (applied != kResultOk) {
    return Refuse(from, data.media_id, applied,
                  "board state would exceed " + std::to_string(limits_.state_bytes) + " bytes", cli_seq_id);
  }
  Relay(*board, data.media_id, msg, seq, board->state.EditIdOf(from.user_id));
}

void BoardBusiness::Relay(Board& board, const std::string& board_id, const BoardMessage& update, uint32_t seq,
                          int sender_edit_id) {
  // "id", then "seq_id", then the sender's members; "edit_id" is the sender's own, whatever
  // the message claimed, so that only the sender takes the relayed update for its echo.
  rapidjson::Document out(rapidjson::kObjectType);
  auto& a = out.GetAllocator();
  out.AddMember("id", update.id, a);
  out.AddMember("seq_id", seq, a);
  bool stamped = false;
  for (auto it = update.doc.MemberBegin(); it != update.doc.MemberEnd(); ++it) {
    const char* key = it->name.GetString();
    if (std::strcmp(key, "id") == 0 || std::strcmp(key, "seq_id") == 0) continue;
    if (std::strcmp(key, "edit_id") == 0) {
      if (!stamped) out.AddMember("edit_id", sender_edit_id, a);
      stamped = true;
      continue;
    }
    out.AddMember(rapidjson::Value(it->name, a), rapidjson::Value(it->value, a), a);
  }
  if (!stamped) out.AddMember("edit_id", sender_edit_id, a);
  const std::string text = ToJson(out);
  if (text.empty()) {
    log_("board " + board_id + ": update " + std::to_string(seq) + " could not be written, not relayed");
    return;
  }
  const std::string payload = EncodeBusiness(EncodeTspdData(kTspdData, {board_id, text}));
  for (ClientId to : board.subscribers) server_.SendEncoded(to, payload);
}

void BoardBusiness::SendOnStream(ClientId to, const std::string& board_id, const std::string& text) {
  server_.SendBusiness(to, EncodeTspdData(kTspdData, {board_id, text}));
}

void BoardBusiness::Refuse(const ClientInfo& from, const std::string& board_id, int code, const std::string& why,
                           uint32_t cli_seq_id) {
  Log(from, "board data for " + (board_id.empty() ? std::string("?") : board_id) + " refused (" + std::to_string(code) +
                "): " + why);
  server_.SendBusiness(from.id,
                       EncodeTspdRefused({board_id.empty() ? std::string("?") : board_id, code, why, cli_seq_id}));
}

void BoardBusiness::Log(const ClientInfo& from, const std::string& what) {
  log_(from.app_id + "/" + from.group_id + " " + from.user_id + ": " + what);
}

void BoardBusiness::OnMemberLeaving(ClientInfo& client, Group& group) {
  auto room = rooms_.find(RoomKey(group.app_id, group.group_id));
  if (room == rooms_.end()) return;
  for (auto& b : room->second.boards) b.second->subscribers.erase(client.id);
}

void BoardBusiness::OnGroupEnded(Group& group) { rooms_.erase(RoomKey(group.app_id, group.group_id)); }

BoardBusiness::Board* BoardBusiness::FindBoard(const Group& group, const std::string& board_id) {
  auto room = rooms_.find(RoomKey(group.app_id, group.group_id));
  if (room == rooms_.end()) return nullptr;
  auto it = room->second.boards.find(board_id);
  return it == room->second.boards.end() ? nullptr : it->second.get();
}

const std::string* BoardBusiness::BoardName(const Group& group, const std::string& board_id) const {
  const BoardState* state = FindState(group, board_id);
  return state ? &state->record().name : nullptr;
}

const BoardState* BoardBusiness::FindState(const Group& group, const std::string& board_id) const {
  auto room = rooms_.find(RoomKey(group.app_id, group.group_id));
  if (room == rooms_.end()) return nullptr;
  auto it = room->second.boards.find(board_id);
  return it == room->second.boards.end() ? nullptr : &it->second->state;
}

}  // namespace kiv_server
