// Result codes of the control plane, shared by the meeting server and its clients.
#pragma once

namespace kiv_proto {

enum ResultCode : int {
  kResultOk = 0,
  kResultInvalidArgument = 1,
  kResultWrongState = 2,
  kResultConnectFailed = 30,  // server unreachable or link lost
  kResultNotLoggedIn = 31,
  kResultAuthFailed = 32,  // access token rejected
  kResultAppNotExist = 33,
  kResultUserAlreadyLogined = 34,
  // Board services.
  kResultBoardLimit = 40,     // the group has as many boards as it may hold
  kResultTooLarge = 41,       // an update or request is longer than allowed
  kResultStateFull = 42,      // the board's kept state would grow beyond its limit
  kResultNoSuchMedia = 43,    // no such board in the requester's group
  kResultNotSubscribed = 44,  // data for a stream the sender has not subscribed
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
