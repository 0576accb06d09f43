// Messages of the control plane: one JSON object per frame, with a "type" member.
// Encode* give the payload text of a frame; Decode* check a parsed message's members
// strictly (presence, JSON type, length) and fail rather than guess.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <rapidjson/document.h>

#include "protocol/wire/media_type.h"

namespace kiv_proto {

constexpr int kProtocolVersion = 1;
// Deepest nesting of objects and arrays accepted in a frame.
constexpr size_t kMaxJsonDepth = 32;
// Longest string member of the session messages (ids, token, extra).
constexpr size_t kMaxFieldLength = 4096;

enum class MsgType {
  kLogin,        // client: app id, token, device id, user id ...
  kLoginResult,  // server: code (+ conflicting device id)
  kLogout,       // client
  kLogouted,     // server: the server ended the login (reason)
  kJoin,         // client: group id
  kJoinResult,   // server
  kLeave,        // client
  kLeaveResult,  // server
  kMediaList,    // server: full member and media list of the group after a join
  kUserJoined,   // server: another member arrived
  kUserLeft,     // server: another member left or lost its link
  kPing,         // client heartbeat
  kPong,         // server answer
  kBusiness,     // both: a business message {"business":name,"id":n,...} in "body"
  kError,        // server: a request could not be read or is not supported
};

const char* MsgTypeName(MsgType type);
[[nodiscard]] bool MsgTypeFromName(std::string_view name, MsgType* type);

enum class ParseError { kNone, kTooLarge, kTooDeep, kBadJson, kNotObject, kNoType, kUnknownType };
const char* ParseErrorText(ParseError error);

struct Message {
  MsgType type = MsgType::kError;
  rapidjson::Document doc;  // the root object
};

// Parses one frame payload: valid UTF-8 JSON, a single object, nesting within
// kMaxJsonDepth, a known "type".
[[nodiscard]] ParseError ParseMessage(std::string_view payload, Message* out);

struct LoginRequest {
  uint32_t seq = 0;
  int proto = kProtocolVersion;
  std::string app_id;
  std::string token;
  std::string device_id;
  std::string user_id;
  std::string platform;
  std::string extra;
  bool force = false;
  bool reconnect = false;  // a session resuming after a lost link
};

struct LoginResult {
  uint32_t seq = 0;
  int code = 0;
  std::string device_id;  // the device holding the login when code is 34
  std::string detail;     // why a login was refused, for logs
};

struct SeqOnly {  // logout, leave
  uint32_t seq = 0;
};

struct JoinRequest {
  uint32_t seq = 0;
  std::string group_id;
};

struct JoinResult {
  uint32_t seq = 0;
  int code = 0;
  std::string group_id;
};

struct LeaveResult {
  uint32_t seq = 0;
  int code = 0;
  std::string group_id;  // the group left
};

struct MediaEntry {
  std::string user_id;
  int media_type = kMediaScreen;  // a MediaType code
  std::string media_id;
  std::string media_name;
  std::string media_owner;
  bool operator==(const MediaEntry& o) const {
    return user_id == o.user_id && media_type == o.media_type && media_id == o.media_id && media_name == o.media_name &&
           media_owner == o.media_owner;
  }
};

struct MediaList {
  std::string group_id;
  std::vector<std::string> users;
  std::vector<MediaEntry> media;
};

struct UserEvent {  // user_joined, user_left
  std::string user_id;
};

struct Logouted {
  int reason = 0;
};

struct ErrorReply {
  int code = 0;
  std::string detail;
};

std::string EncodeLogin(const LoginRequest& m);
std::string EncodeLoginResult(const LoginResult& m);
std::string EncodeLogout(const SeqOnly& m);
std::string EncodeLogouted(const Logouted& m);
std::string EncodeJoin(const JoinRequest& m);
std::string EncodeJoinResult(const JoinResult& m);
std::string EncodeLeave(const SeqOnly& m);
std::string EncodeLeaveResult(const LeaveResult& m);
std::string EncodeMediaList(const MediaList& m);
std::string EncodeUserJoined(const UserEvent& m);
std::string EncodeUserLeft(const UserEvent& m);
std::string EncodePing();
std::string EncodePong();
// body must be an object holding "business" (string) and "id" (integer). Empty when the
// writer refused a value of it (a number that is not finite).
std::string EncodeBusiness(const rapidjson::Value& body);
std::string EncodeError(const ErrorReply& m);

[[nodiscard]] bool DecodeLogin(const Message& msg, LoginRequest* out);
[[nodiscard]] bool DecodeLoginResult(const Message& msg, LoginResult* out);
[[nodiscard]] bool DecodeSeqOnly(const Message& msg, SeqOnly* out);
[[nodiscard]] bool DecodeLogouted(const Message& msg, Logouted* out);
[[nodiscard]] bool DecodeJoin(const Message& msg, JoinRequest* out);
[[nodiscard]] bool DecodeJoinResult(const Message& msg, JoinResult* out);
[[nodiscard]] bool DecodeLeaveResult(const Message& msg, LeaveResult* out);
[[nodiscard]] bool DecodeMediaList(const Message& msg, MediaList* out);
[[nodiscard]] bool DecodeUserEvent(const Message& msg, UserEvent* out);
[[nodiscard]] bool DecodeError(const Message& msg, ErrorReply* out);

// The "body" of a business message with its "business" name and "id"; null when
// any of them is missing or of another type.
const rapidjson::Value* BusinessBody(const Message& msg, std::string* business, int* id);

// Member readers for business bodies: false when absent or of another type.
[[nodiscard]] bool GetString(const rapidjson::Value& obj, const char* key, std::string* out);
[[nodiscard]] bool GetInt(const rapidjson::Value& obj, const char* key, int* out);
[[nodiscard]] bool GetUint(const rapidjson::Value& obj, const char* key, uint32_t* out);
[[nodiscard]] bool GetBool(const rapidjson::Value& obj, const char* key, bool* out);

// Compact JSON text of a value; empty when the writer refused a value of it (a number that
// is not finite), never a text cut short.
std::string ToJson(const rapidjson::Value& value);

}  // namespace kiv_proto
