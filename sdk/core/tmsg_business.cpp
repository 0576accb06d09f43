#include "core/tmsg_business.h"

#include "kiv_error.h"

namespace kiv_core {

// The text-message business is reached through the connection, which is not bound yet.

int TMsgBusiness::SendUserMsg(const char*, const char*, unsigned*) { return ERR_INVALID_STATE; }

int TMsgBusiness::SendGroupMsg(const char*, unsigned*) { return ERR_INVALID_STATE; }

int TMsgBusiness::SendUsersMsg(const avcore::FwVector<avcore::FwString>&, const char*, unsigned*) {
    return ERR_INVALID_STATE;
}

int TMsgBusiness::SendUsersMsgEx(const avcore::FwVector<avcore::FwString>&, const char*,
                                 unsigned*) {
    return ERR_INVALID_STATE;
}

}  // namespace kiv_core
