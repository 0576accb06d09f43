// Bodies of the business messages that the meeting server serves itself, shared by the
// server and the framework's connection. Each body is a JSON object with "business"
// and "id" first.
//   GS     14104 media change (client), 14106 media changed (server), 14108 remote control
//   ONLINE 15000 status query -> 15001 status result; 15002 status notice
//   TMSG   16000 to a user, 16002 to the group, 16004 to a list; received as 16001
//          (a private message) or 16003 (a group message)
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

constexpr char kBusinessOnline[] = "ONLINE";
constexpr int kOnlineQuery = 15000;
constexpr int kOnlineResult = 15001;
constexpr int kOnlineNotify = 15002;
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
rapidjson::Document EncodeTextSend(const TextSend& m);
rapidjson::Document EncodeTextReceived(const TextReceived& m);

// Decoders take the body of a message whose business and id were matched already.
[[nodiscard]] bool DecodeOnlineQuery(const rapidjson::Value& body, OnlineQuery* out);
[[nodiscard]] bool DecodeOnlineResult(const rapidjson::Value& body, OnlineResult* out);
[[nodiscard]] bool DecodeOnlineNotify(const rapidjson::Value& body, OnlineState* out);
[[nodiscard]] bool DecodeTextSend(const rapidjson::Value& body, int id, TextSend* out);
[[nodiscard]] bool DecodeTextReceived(const rapidjson::Value& body, int id, TextReceived* out);

}  // namespace kiv_proto
