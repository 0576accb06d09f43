// What a client session reports. All calls come, in order, on the session's one
// callback thread, with no lock held: a listener may call the session back.
#pragma once

#include <string>
#include <vector>

#include <rapidjson/document.h>

#include "protocol/wire/wire_message.h"

namespace kiv_proto {

class ISessionListener {
 public:
  virtual ~ISessionListener() = default;
  // detail: the server's reason for a refusal, or empty.
  virtual void OnLoginResult(int code, const std::string& detail) = 0;
  virtual void OnJoinGroupResult(int code, const std::string& group_id) = 0;
  virtual void OnLeaveGroupResult(int code, const std::string& group_id) = 0;
  // The server ended the login; no reconnection follows.
  virtual void OnLogouted(int reason) = 0;
  // The link was lost while logged in; the session reconnects until it succeeds,
  // fails for good, or Logout is called.
  virtual void OnReconnectStart() = 0;
  virtual void OnReconnectSuccess() = 0;
  // conflict_device_id: the device now holding the login (code 34), else empty.
  virtual void OnReconnectFail(int code, const std::string& conflict_device_id) = 0;
  virtual void OnRemoteUserJoined(const std::string& user_id) = 0;
  virtual void OnRemoteUserLeft(const std::string& user_id) = 0;
  // The full member and media list of the group, after each (re)join.
  virtual void OnGroupMediaList(const std::vector<std::string>& users, const std::vector<MediaEntry>& media) = 0;
  // A business message; body is valid during the call.
  virtual void OnBusiness(const std::string& business, int id, const rapidjson::Value& body) = 0;
};

}  // namespace kiv_proto
