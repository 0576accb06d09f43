// A listening TCP socket on 127.0.0.1 at a port the system chooses, for test servers.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdint>

namespace kiv_test {

// Starts Winsock and listens; `port` receives the chosen port.
inline SOCKET OpenLoopbackListener(uint16_t* port) {
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);
  const SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address));
  int length = sizeof(address);
  getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  *port = ntohs(address.sin_port);
  listen(listener, 8);
  return listener;
}

}  // namespace kiv_test
