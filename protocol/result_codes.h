// Result codes of the control plane, shared by the meeting server and its clients.
#pragma once

namespace kiv_proto {

enum ResultCode : int {
  kResultOk = 0,
  kResultInvalidArgument = 1,
  kResultWrongState = 2,
  kResultConnectFailed = 30,      // server unreachable or link lost
  kResultNotLoggedIn = 31,
  kResultAuthFailed = 32,         // access token rejected
  kResultAppNotExist = 33,
  kResultUserAlreadyLogined = 34,
};

// Connection status as reported by a client session (never "group joined": a
// session in a group stays logged in).
enum SessionStatus : int {
  kStatusUnconnect = 0,
  kStatusAddrQuerying = 1,
  kStatusConnected = 2,
  kStatusLogined = 3,
};

}  // namespace kiv_proto
