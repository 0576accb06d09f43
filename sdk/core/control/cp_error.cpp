#include "core/control/cp_error.h"

#include "kiv_error.h"

namespace kiv_core {

namespace {

// Control-plane codes without an ErrCode name of their own: the framework's, passed on.
constexpr int kCpPassedOn35 = 35;
constexpr int kCpPassedOn301 = 301;
// The framework's second code for a user logged in elsewhere.
constexpr int kCpUserLoginedElsewhere = 36;

}  // namespace

int MapCpError(int result) {
  switch (result) {
    case ERR_OK:
    case ERR_INVALID_PARAM:
    case ERR_INVALID_STATE:
    case ERR_CONNECT_SERVER_FAILED:
    case ERR_NOT_LOGINED:
    case ERR_AUTH_FAILED:
    case ERR_APP_NOT_EXIST:
    case ERR_USER_ALREADY_LOGINED:
    case kCpPassedOn35:
    case ERR_BALANCE_INSUFFICIENT:
    case kCpPassedOn301:
      return result;
    case kCpUserLoginedElsewhere:
      return ERR_USER_ALREADY_LOGINED;
    default:
      return ERR_FAILED;
  }
}

}  // namespace kiv_core
