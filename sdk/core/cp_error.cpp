#include "core/cp_error.h"

#include "kiv_error.h"

namespace kiv_core {

int MapCpError(int result) {
    switch (result) {
    case 0:
    case 1:
    case 2:
    case 30:
    case 31:
    case 32:
    case 33:
    case 34:
    case 35:
    case 70:
    case 301:
        return result;
    case 36:
        return ERR_USER_ALREADY_LOGINED;
    default:
        return ERR_FAILED;
    }
}

}  // namespace kiv_core
