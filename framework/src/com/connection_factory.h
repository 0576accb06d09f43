// Factory hook of the control-plane connection component (CLSID_KivConnection).
//
// Defined by framework/connection/kiv_connection.cpp, which connection/sources.cmake adds
// to Tessarine32.
#pragma once

#include "avcore/connection.h"

namespace tessarine {

// A new connection holding one reference, or null.
avcore::IKivConnection* CreateKivConnection();

// Test hook: the connections' sockets are shut down and connecting fails for `ms`
// milliseconds.
void CutLinks(int ms);

}  // namespace tessarine
