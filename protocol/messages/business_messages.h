// Bodies of the business messages that the meeting server serves itself, shared by the
// server and the framework's connection. Each body is a JSON object with "business"
// and "id" first.
//   GS     14104 media change (client), 14106 media changed (server), 14108 remote control
//   ONLINE 15000 status query -> 15001 status result; 15002 status notice;
//          15010 invite -> 15011 at each invitee; 15012 accept -> 15013 at the inviter;
//          15014 refuse -> 15015 at the inviter; 15016 at the invitees when the
//          inviter's login ends before they answered
//   TMSG   16000 to a user, 16002 to the group, 16004 to a list; received as 16001
//          (a private message) or 16003 (a group message)
//   RINPUT 14300 a viewer's input for a sharer {"dst_user_id","events":[...]} -> 14301 at
//          the sharer {"src_user_id","events"}, only while the sharer grants that viewer
//          control (GS 14108)
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <rapidjson/document.h>

namespace kiv_proto {

constexpr char kBusinessGs[] = "GS";
constexpr int kGsMediaChange = 14104;
constexpr int kGsMediaChanged = 14106;
constexpr int kGsRemoteControl = 14108;

constexpr char kBusinessRemoteInput[] = "RINPUT";
constexpr int kRemoteInput = 14300;
constexpr int kRemoteInputDelivered = 14301;
constexpr size_t kMaxInputEvents = 256;

constexpr char kBusinessOnline[] = "ONLINE";
constexpr int kOnlineQuery = 15000;
constexpr int kOnlineResult = 15001;
constexpr int kOnlineNotify = 15002;
constexpr int kInvite = 15010;
constexpr int kInviteCome = 15011;
constexpr int kInviteAccept = 15012;
constexpr int kInviteAccepted = 15013;
constexpr int kInviteRefuse = 15014;
constexpr int kInviteRefused = 15015;
constexpr int kInviteCanceled = 15016;
constexpr size_t kMaxListedUsers = 1000;

constexpr char kBusinessText[] = "TMSG";
constexpr int kTextToUser = 16000;
constexpr int kTextUserMessage = 16001;
constexpr int kTextToGroup = 16002;
constexpr int kTextGroupMessage = 16003;
constexpr int kTextToUsers = 16004;
constexpr size_t kMaxTextBytes = 64 * 1024;

// {"req_id", ["users":[ids]]}: no list (or an empty one) asks for every online user.
struct OnlineQuery {
  uint32_t req_id = 0;
  std::vector<std::string> users;
};

// A user's state: status 1 online, 0 offline (then the other texts are empty).
struct OnlineState {
  std::string user_id;
  int status = 0;
  std::string device_id;
  std::string platform;
  std::string group_id;
};

// "all": the query asked for every online user (else one state per listed user).
struct OnlineResult {
  uint32_t req_id = 0;
  int result = 0;
  bool all = false;
  std::vector<OnlineState> users;
};

// 15010: invite users into a group with a message.
struct InviteRequest {
  uint32_t req_id = 0;
  std::vector<std::string> users;
  std::string group_id;
  std::string message;
};

// 15011 at an invitee.
struct InviteNotice {
  std::string inviter;
  int32_t invite_id = 0;
  std::string group_id;
  std::string message;
};

// 15012 / 15014 (an invitee's answer) and 15016 (the inviter's invitation withdrawn):
// the inviter and its invitation.
struct InviteReply {
  std::string inviter;
  int32_t invite_id = 0;
  std::string extra;
};

// 15013 / 15015 at the inviter: who answered.
struct InviteOutcome {
  std::string user_id;
  int32_t invite_id = 0;
  std::string extra;
  int reason = 0;  // 15015 only
};

// What a client sends: to one user (16000, `to`), to its group (16002) or to a list
// (16004, `to_list`, delivered as a group message when `as_group`).
struct TextSend {
  int id = kTextToUser;
  std::string to;
  std::vector<std::string> to_list;
  bool as_group = false;
  std::string text;
  uint32_t msg_id = 0;
};

// What a client receives: 16001 (private) or 16003 (group).
struct TextReceived {
  bool group = false;
  std::string from;
  std::string text;
  uint32_t msg_id = 0;
};

rapidjson::Document EncodeOnlineQuery(const OnlineQuery& m);
rapidjson::Document EncodeOnlineResult(const OnlineResult& m);
rapidjson::Document EncodeOnlineNotify(const OnlineState& m);
rapidjson::Document EncodeInviteRequest(const InviteRequest& m);
rapidjson::Document EncodeInviteNotice(const InviteNotice& m);
rapidjson::Document EncodeInviteReply(int id, const InviteReply& m);      // 15012, 15014, 15016
rapidjson::Document EncodeInviteOutcome(int id, const InviteOutcome& m);  // 15013, 15015
rapidjson::Document EncodeTextSend(const TextSend& m);
rapidjson::Document EncodeTextReceived(const TextReceived& m);

// Decoders take the body of a message whose business and id were matched already.
[[nodiscard]] bool DecodeOnlineQuery(const rapidjson::Value& body, OnlineQuery* out);
[[nodiscard]] bool DecodeOnlineResult(const rapidjson::Value& body, OnlineResult* out);
[[nodiscard]] bool DecodeOnlineNotify(const rapidjson::Value& body, OnlineState* out);
[[nodiscard]] bool DecodeInviteRequest(const rapidjson::Value& body, InviteRequest* out);
[[nodiscard]] bool DecodeInviteNotice(const rapidjson::Value& body, InviteNotice* out);
[[nodiscard]] bool DecodeInviteReply(const rapidjson::Value& body, InviteReply* out);
[[nodiscard]] bool DecodeInviteOutcome(const rapidjson::Value& body, InviteOutcome* out);
[[nodiscard]] bool DecodeTextSend(const rapidjson::Value& body, int id, TextSend* out);
[[nodiscard]] bool DecodeTextReceived(const rapidjson::Value& body, int id, TextReceived* out);

}  // namespace kiv_proto
