// Factory hook of the control-plane connection component (CLSID_KivConnection).
//
// kiv_connection_stub.cpp defines it with a harmless stub unless
// framework/connection/sources.cmake exists; then the sources that file adds to
// Tessarine32 define it instead.
#pragma once

#include "avcore/connection.h"

namespace tessarine {

// A new connection holding one reference, or null.
avcore::IKivConnection* CreateKivConnection();

// Test hook: the connections' sockets are shut down and connecting fails for `ms`
// milliseconds.
void CutLinks(int ms);

}  // namespace tessarine
