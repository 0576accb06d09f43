#include "core/online_business.h"

#include "kiv_error.h"

namespace kiv_core {

// The online business is reached through the connection, which is not bound yet.

int OnlineBusiness::UserStatusRefresh(const avcore::FwVector<avcore::FwString>&, unsigned*) {
    return ERR_INVALID_STATE;
}

int OnlineBusiness::Invite(const avcore::FwVector<avcore::FwString>&, const char*, const char*,
                           unsigned*) {
    return ERR_INVALID_STATE;
}

int OnlineBusiness::AcceptInvite(const char*, int) { return ERR_INVALID_STATE; }

int OnlineBusiness::RefuseInvite(const char*, int) { return ERR_INVALID_STATE; }

}  // namespace kiv_core
