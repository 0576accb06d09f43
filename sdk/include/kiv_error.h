// Result codes of every public operation.
#pragma once

namespace kiv_core {

typedef int ErrCode;

enum : int {
  ERR_OK = 0,
  ERR_INVALID_PARAM = 1,
  ERR_INVALID_STATE = 2,
  ERR_CONNECT_SERVER_FAILED = 30,
  ERR_NOT_LOGINED = 31,
  ERR_AUTH_FAILED = 32,
  ERR_APP_NOT_EXIST = 33,
  ERR_USER_ALREADY_LOGINED = 34,
  ERR_BALANCE_INSUFFICIENT = 70,
  ERR_FAILED = 302,
};

// States of the control-plane connection.
enum : int {
  CPSTATUS_UNCONNECT = 0,
  CPSTATUS_ADDRQUERYING = 1,
  CPSTATUS_CONNECTED = 2,
  CPSTATUS_LOGINED = 3,
  CPSTATUS_GROUPJOINGED = 4,
};

}  // namespace kiv_core
