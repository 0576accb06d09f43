#include "relay_loss_control.h"

#include <winsock2.h>

namespace media_test {

void SendLossControl(uint16_t port, int percent, int burst, uint32_t seed) {
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);
  SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const char d[10] = {'K',
                      'M',
                      'L',
                      static_cast<char>(percent),
                      static_cast<char>(burst >> 8),
                      static_cast<char>(burst),
                      static_cast<char>(seed >> 24),
                      static_cast<char>(seed >> 16),
                      static_cast<char>(seed >> 8),
                      static_cast<char>(seed)};
  sendto(s, d, sizeof d, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
  closesocket(s);
  WSACleanup();
}

}  // namespace media_test
